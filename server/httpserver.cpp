#include "httpserver.h"

#include "recognitionservice.h"

#include "bankservice.h"
#include "formularenderer.h"
#include "imagestore.h"
#include "serveroptions.h"
#include "status.h"
#include "workqueue.h"

// The handlers keep the HTTP library's request and response types; the sockets are read by
// libmicrohttpd, whose one event thread holds any number of idle or slow connections and
// hands each complete request to a work queue.
#include <httplib.h>
#include <microhttpd.h>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>

namespace {

thread_local int replyStatus = 0;

const char *const jsonType = "application/json;charset=UTF-8";

// Bodies beyond this are refused before they are read.
constexpr size_t MaxPayload = ImageStore::MaxBytes + 1024 * 1024;
// Form fields of small url-encoded bodies become parameters; larger form bodies (drawings for
// the recogniser) stay whole in the body for their route to read.
constexpr size_t MaxFormParamsBytes = 8192;
// An idle or silent connection is closed after this long.
constexpr unsigned IdleSeconds = 30;
constexpr unsigned MaxConnections = 10000;

std::string envelopeText(int code, const std::string &msg)
{
    return nlohmann::json {{"status", code}, {"msg", msg}, {"data", nlohmann::json::object()}}
        .dump();
}

bool plausibleHost(const std::string &host)
{
    if (host.empty() || host.size() > 255)
        return false;
    for (char ch : host)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '.' && ch != '-' && ch != ':'
            && ch != '[' && ch != ']')
            return false;
    return true;
}

const char resetPasswordPage[] = R"html(<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>重置密码 - Quenmo</title>
<style>body{font-family:sans-serif;color:#4a4a4a;background:#ecf3f9;margin:0}
main{max-width:640px;margin:40px auto;background:#fff;padding:24px 32px;border-radius:6px}
h1{color:#1bc5f5;font-size:22px}code{background:#f3f3f3;padding:2px 6px;border-radius:3px}
pre{background:#f3f3f3;padding:12px;overflow:auto}</style></head>
<body><main><h1>忘记密码</h1>
<p>这是一台本地题库服务器（quenmo-server），它不发送短信或邮件。
请联系管理这台服务器的老师或管理员，由其在服务器所在的电脑上为您设置新密码：</p>
<pre>quenmo-server --data 数据目录 --set-password 手机号 新密码</pre>
<p>例如：<code>quenmo-server --data ~/quenmo-data --set-password 13800000002 newpass123</code></p>
<p>新密码至少6个字符。设置后，该账号已登录的会话全部失效，请用新密码重新登录。
服务器运行时也可以执行此命令。</p>
<hr><p>This is a local Quenmo bank server. To reset a password, run the command above on the
machine that hosts the server (the data folder is the one given to <code>--data</code>).</p>
</main></body></html>
)html";

std::string errorBody(int httpStatus)
{
    if (httpStatus == 404)
        return envelopeText(status::NotFound, "接口不存在");
    if (httpStatus == 413)
        return envelopeText(status::BadRequest, "请求体过大");
    return envelopeText(status::BadRequest, "请求无效");
}

// One request from its headers to its reply; lives until libmicrohttpd is done with it.
struct Exchange {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    httplib::Request request;
    MHD_PostProcessor *form = nullptr;
    httplib::MultipartFormDataMap::iterator part;
    bool inPart = false;
    size_t received = 0;
    bool tooLarge = false;
    bool formBroken = false;
    bool dispatched = false;
    std::unique_ptr<httplib::Response> response;

    ~Exchange()
    {
        if (form)
            MHD_destroy_post_processor(form);
    }
};

MHD_Result collectHeader(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    static_cast<httplib::Request *>(cls)->headers.emplace(key, value ? value : "");
    return MHD_YES;
}

MHD_Result collectParam(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    static_cast<httplib::Request *>(cls)->params.emplace(key, value ? value : "");
    return MHD_YES;
}

// Multipart fields become the request's files, as the HTTP library reads them.
MHD_Result collectPart(void *cls, MHD_ValueKind, const char *key, const char *filename,
    const char *contentType, const char *, const char *data, uint64_t offset, size_t size)
{
    Exchange *exchange = static_cast<Exchange *>(cls);
    if (offset == 0 || !exchange->inPart) {
        exchange->inPart = true;
        httplib::MultipartFormData part;
        part.name = key ? key : "";
        part.filename = filename ? filename : "";
        part.content_type = contentType ? contentType : "";
        exchange->part = exchange->request.files.emplace(part.name, std::move(part));
    }
    exchange->part->second.content.append(data, size);
    return MHD_YES;
}

void logRequest(const Exchange &exchange, int httpStatus, int envelopeStatus)
{
    const double ms = std::chrono::duration<double, std::milli>(
        std::chrono::steady_clock::now() - exchange.start)
                          .count();
    const httplib::Request &req = exchange.request;
    if (envelopeStatus != 0)
        std::fprintf(stderr, "%s %s %d %.2fms (status %d)\n", req.method.c_str(), req.path.c_str(),
            httpStatus, ms, envelopeStatus);
    else
        std::fprintf(
            stderr, "%s %s %d %.2fms\n", req.method.c_str(), req.path.c_str(), httpStatus, ms);
}

} // namespace

std::string HttpServer::Request::header(const std::string &name) const
{
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

std::string HttpServer::Request::param(const std::string &name) const
{
    const auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

struct HttpServer::Private {
    using RouteHandler = std::function<void(const httplib::Request &, httplib::Response &)>;
    // The routes by method and path, registered with the HTTP library's own calls.
    struct Router {
        std::map<std::pair<std::string, std::string>, RouteHandler> routes;
        void Get(const std::string &path, RouteHandler handler)
        {
            routes[{"GET", path}] = std::move(handler);
        }
        void Post(const std::string &path, RouteHandler handler)
        {
            routes[{"POST", path}] = std::move(handler);
        }
        const RouteHandler *find(const std::string &method, const std::string &path) const
        {
            const auto it = routes.find({method == "HEAD" ? "GET" : method, path});
            return it == routes.end() ? nullptr : &it->second;
        }
    };

    const ServerOptions &options;
    BankService &bank;
    ImageStore &images;
    FormulaRenderer &formulas;
    Router server;
    int port = 0;
    int listener = -1;
    MHD_Daemon *daemon = nullptr;
    // Password checks and formula renderings take long: they wait in lines of their own, so
    // that a storm of them leaves the other requests their threads.
    WorkQueue requests;
    WorkQueue logins;
    WorkQueue renderings;
    std::mutex stopMutex;
    std::condition_variable stopWake;
    bool stopping = false;

    Private(const ServerOptions &o, BankService &b, ImageStore &i, FormulaRenderer &f)
        : options(o)
        , bank(b)
        , images(i)
        , formulas(f)
        , requests(o.threads)
        , logins(o.threads)
        , renderings(o.threads)
    { }

    ~Private()
    {
        if (listener >= 0)
            ::close(listener);
    }

    std::string baseUrl(const httplib::Request &req) const
    {
        const std::string host = req.get_header_value("Host");
        if (plausibleHost(host))
            return "http://" + host;
        return "http://" + options.bindAddress + ":" + std::to_string(port);
    }

    WorkQueue &queueFor(const std::string &path)
    {
        if (path == "/user/login")
            return logins;
        if (path == "/api/generate/formula")
            return renderings;
        return requests;
    }

    static MHD_Result access(void *cls, MHD_Connection *connection, const char *url,
        const char *method, const char *, const char *uploadData, size_t *uploadSize,
        void **context);
    static void completed(void *cls, MHD_Connection *, void **context, MHD_RequestTerminationCode);
    MHD_Result answerAtOnce(MHD_Connection *connection, Exchange &exchange, int httpStatus);
    void serve(MHD_Connection *connection, Exchange &exchange, const RouteHandler &handler);
    static MHD_Result send(MHD_Connection *connection, httplib::Response &res);
};

MHD_Result HttpServer::Private::send(MHD_Connection *connection, httplib::Response &res)
{
    auto *body = new std::string(std::move(res.body));
    MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), body->data(), [](void *text) { delete static_cast<std::string *>(text); },
        body);
    if (!response) {
        delete body;
        return MHD_NO;
    }
    for (const auto &header : res.headers)
        MHD_add_response_header(response, header.first.c_str(), header.second.c_str());
    const MHD_Result queued = MHD_queue_response(connection, unsigned(res.status), response);
    MHD_destroy_response(response);
    return queued;
}

// Errors found while reading: answered by the event thread itself.
MHD_Result HttpServer::Private::answerAtOnce(
    MHD_Connection *connection, Exchange &exchange, int httpStatus)
{
    httplib::Response res;
    res.status = httpStatus;
    res.set_content(errorBody(httpStatus), jsonType);
    logRequest(exchange, httpStatus, 0);
    return send(connection, res);
}

MHD_Result HttpServer::Private::access(void *cls, MHD_Connection *connection, const char *url,
    const char *method, const char *, const char *uploadData, size_t *uploadSize, void **context)
{
    Private *p = static_cast<Private *>(cls);
    Exchange *exchange = static_cast<Exchange *>(*context);
    if (!exchange) {
        exchange = new Exchange;
        *context = exchange;
        httplib::Request &req = exchange->request;
        req.method = method;
        req.path = url;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &req);
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &collectParam, &req);
        const char *length = MHD_lookup_connection_value(
            connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length && std::strtoull(length, nullptr, 10) > MaxPayload)
            return p->answerAtOnce(connection, *exchange, 413);
        if (req.is_multipart_form_data()) {
            exchange->form
                = MHD_create_post_processor(connection, 64 * 1024, &collectPart, exchange);
            exchange->formBroken = exchange->form == nullptr;
        }
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        exchange->received += *uploadSize;
        if (exchange->received > MaxPayload) {
            exchange->tooLarge = true;
            exchange->request.body.clear();
        } else if (exchange->form) {
            if (MHD_post_process(exchange->form, uploadData, *uploadSize) != MHD_YES)
                exchange->formBroken = true;
        } else {
            exchange->request.body.append(uploadData, *uploadSize);
        }
        *uploadSize = 0;
        return MHD_YES;
    }
    if (exchange->response)
        return send(connection, *exchange->response);
    if (exchange->dispatched)
        return MHD_YES;
    if (exchange->tooLarge)
        return p->answerAtOnce(connection, *exchange, 413);
    if (exchange->formBroken)
        return p->answerAtOnce(connection, *exchange, 400);
    httplib::Request &req = exchange->request;
    if (req.body.size() <= MaxFormParamsBytes
        && req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) == 0)
        httplib::detail::parse_query_text(req.body, req.params);
    const RouteHandler *handler = p->server.find(req.method, req.path);
    if (!handler)
        return p->answerAtOnce(connection, *exchange, 404);

    exchange->dispatched = true;
    MHD_suspend_connection(connection);
    const bool queued = p->queueFor(req.path).post(
        [p, connection, exchange, handler] { p->serve(connection, *exchange, *handler); });
    if (!queued) {
        // Stopping: no thread will take it.
        exchange->response = std::make_unique<httplib::Response>();
        exchange->response->status = 503;
        exchange->response->set_content("stopping", "text/plain;charset=UTF-8");
        MHD_resume_connection(connection);
    }
    return MHD_YES;
}

void HttpServer::Private::serve(
    MHD_Connection *connection, Exchange &exchange, const RouteHandler &handler)
{
    replyStatus = 0;
    auto res = std::make_unique<httplib::Response>();
    try {
        handler(exchange.request, *res);
        if (res->status == -1)
            res->status = 200;
        if (res->status >= 400 && res->body.empty())
            res->set_content(errorBody(res->status), jsonType);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "error in %s: %s\n", exchange.request.path.c_str(), e.what());
        res = std::make_unique<httplib::Response>();
    } catch (...) {
        std::fprintf(stderr, "error in %s: unknown\n", exchange.request.path.c_str());
        res = std::make_unique<httplib::Response>();
    }
    if (res->status == -1) {
        res->status = 500;
        res->set_content("internal error", "text/plain;charset=UTF-8");
    }
    logRequest(exchange, res->status, replyStatus);
    exchange.response = std::move(res);
    // From here on the event thread owns the exchange again.
    MHD_resume_connection(connection);
}

void HttpServer::Private::completed(
    void *, MHD_Connection *, void **context, MHD_RequestTerminationCode)
{
    delete static_cast<Exchange *>(*context);
    *context = nullptr;
}

HttpServer::HttpServer(
    const ServerOptions &options, BankService &bank, ImageStore &images, FormulaRenderer &formulas)
    : d(std::make_unique<Private>(options, bank, images, formulas))
{
    registerRoutes();
    registerExtraRoutes();
}

HttpServer::~HttpServer() = default;

void HttpServer::addRoute(const std::string &method, const std::string &path, Handler handler)
{
    auto adapter = [this, handler](const httplib::Request &req, httplib::Response &res) {
        Request request;
        request.method = req.method;
        request.path = req.path;
        request.body = req.body;
        request.baseUrl = d->baseUrl(req);
        for (const auto &h : req.headers)
            request.headers.emplace(h.first, h.second);
        for (const auto &p : req.params)
            request.params.emplace(p.first, p.second);
        const Response response = handler(request);
        res.status = response.status;
        res.set_content(response.body, response.contentType.c_str());
    };
    if (method == "GET")
        d->server.Get(path, adapter);
    else
        d->server.Post(path, adapter);
}

void HttpServer::registerRoutes()
{
    Private::Router &s = d->server;
    BankService &bank = d->bank;
    Private *p = d.get();

    for (const std::string &path : bank.paths()) {
        s.Post(path, [p, path](const httplib::Request &req, httplib::Response &res) {
            BankService::Reply reply;
            try {
                reply = p->bank.handle(
                    path, req.body, req.get_header_value("loginToken"), p->baseUrl(req));
            } catch (const std::exception &e) {
                std::fprintf(stderr, "error in %s: %s\n", path.c_str(), e.what());
                reply = {status::Internal, envelopeText(status::Internal, "发生错误")};
            }
            replyStatus = reply.status;
            // What set_content does, without copying a long list reply once more.
            res.body = std::move(reply.body);
            res.set_header("Content-Type", jsonType);
        });
    }

    s.Post("/api/upload/file", [p](const httplib::Request &req, httplib::Response &res) {
        auto reply = [&](int code, const std::string &msg, nlohmann::json data) {
            replyStatus = code;
            res.set_content(
                nlohmann::json {{"status", code}, {"msg", msg}, {"data", data}}.dump(), jsonType);
        };
        BankService::User user;
        if (!p->bank.authenticate(req.get_header_value("loginToken"), user)) {
            reply(status::NotLoggedIn, "登录已失效，请重新登录后再上传图片",
                nlohmann::json::object());
            return;
        }
        if (!req.is_multipart_form_data() || !req.has_file("file")) {
            reply(status::BadRequest, "请以multipart/form-data上传，文件字段名为file",
                nlohmann::json::object());
            return;
        }
        const std::string usage = req.has_file("fileUsageType")
            ? req.get_file_value("fileUsageType").content
            : std::string();
        if (usage.empty()) {
            reply(status::BadRequest, "缺少字段 fileUsageType", nlohmann::json::object());
            return;
        }
        std::string error;
        int refusal = status::Ok;
        try {
            const auto key = p->images.store(
                req.get_file_value("file").content, usage, user.id, error, refusal);
            if (!key)
                reply(refusal, error, nlohmann::json::object());
            else
                reply(status::Ok, "成功", {{"fileKey", *key}});
        } catch (const std::exception &e) {
            std::fprintf(stderr, "error in upload: %s\n", e.what());
            reply(status::Internal, "发生错误", nlohmann::json::object());
        }
    });

    s.Get("/api/show/image", [p](const httplib::Request &req, httplib::Response &res) {
        const auto image = p->images.load(req.get_param_value("fileKey"));
        if (!image) {
            res.status = 404;
            res.set_content("image not found", "text/plain;charset=UTF-8");
            return;
        }
        res.set_header("Cache-Control", "public, max-age=31536000, immutable");
        res.set_content(image->bytes, image->contentType.c_str());
    });

    s.Get("/api/generate/formula", [p](const httplib::Request &req, httplib::Response &res) {
        const std::string formula = req.get_param_value("formulaStr");
        const FormulaRenderer::Result result = p->formulas.render(formula);
        if (!result.ok) {
            // An error page, not an error status: the formula dialog asks on every keystroke
            // and keeps its last picture when the answer is not an image, but would warn about
            // every failed request.
            res.status = 200;
            res.set_content(result.error, "text/plain;charset=UTF-8");
            return;
        }
        res.set_header("Cache-Control", "public, max-age=86400");
        res.set_content(result.png, "image/png");
    });

    s.Get("/page/resetPassword", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(resetPasswordPage, "text/html;charset=UTF-8");
    });
}

// Routes served by other parts of the server are registered here, with addRoute().
void HttpServer::registerExtraRoutes()
{
    addRoute("POST", quenmo::RecognitionService::path, [](const Request &request) {
        const quenmo::RecognitionService::Reply reply
            = quenmo::RecognitionService::handle(request.body);
        Response response;
        response.status = reply.status;
        response.contentType = reply.contentType;
        response.body = reply.body;
        return response;
    });
}

bool HttpServer::bind()
{
    const std::string port = std::to_string(d->options.port);
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *found = nullptr;
    int error = ::getaddrinfo(d->options.bindAddress.c_str(), port.c_str(), &hints, &found);
    int socket = -1;
    if (error == 0) {
        socket = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
        // Address reuse lets a restart bind over connections still closing; the port itself is
        // not shared (no SO_REUSEPORT), so a second server cannot listen beside this one.
        const int on = 1;
        if (socket >= 0)
            ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // A full backlog: with a short one, clients connecting at the same moment would have
        // their SYN dropped and wait a second to retry.
        if (socket < 0 || ::bind(socket, found->ai_addr, found->ai_addrlen) != 0
            || ::listen(socket, SOMAXCONN) != 0)
            error = errno;
        ::freeaddrinfo(found);
    }
    if (error != 0) {
        if (socket >= 0)
            ::close(socket);
        if (error == EADDRINUSE)
            std::fprintf(stderr, "quenmo-server: port %d is already in use\n", d->options.port);
        else
            std::fprintf(stderr, "quenmo-server: cannot listen on %s:%d\n",
                d->options.bindAddress.c_str(), d->options.port);
        return false;
    }
    d->listener = socket;
    d->port = d->options.port;
    return true;
}

bool HttpServer::listen()
{
    if (d->listener < 0)
        return false;
    d->daemon = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG, 0, nullptr,
        nullptr, &Private::access, d.get(), MHD_OPTION_LISTEN_SOCKET, d->listener,
        MHD_OPTION_NOTIFY_COMPLETED, &Private::completed, d.get(), MHD_OPTION_CONNECTION_TIMEOUT,
        IdleSeconds, MHD_OPTION_CONNECTION_LIMIT, MaxConnections, MHD_OPTION_END);
    if (!d->daemon)
        return false;
    {
        std::unique_lock<std::mutex> lock(d->stopMutex);
        d->stopWake.wait(lock, [this] { return d->stopping; });
    }
    // No new connections; what is queued is answered, so nothing stays suspended.
    const MHD_socket listener = MHD_quiesce_daemon(d->daemon);
    d->requests.finish();
    d->logins.finish();
    d->renderings.finish();
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    if (listener != MHD_INVALID_SOCKET)
        ::close(listener);
    d->listener = -1;
    return true;
}

void HttpServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(d->stopMutex);
        d->stopping = true;
    }
    d->stopWake.notify_all();
}

int HttpServer::port() const
{
    return d->port;
}
