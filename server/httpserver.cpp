#include "httpserver.h"

#include "recognitionservice.h"

#include "bankservice.h"
#include "formularenderer.h"
#include "imagestore.h"
#include "serveroptions.h"
#include "status.h"

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

thread_local std::chrono::steady_clock::time_point requestStart;
thread_local int replyStatus = 0;

const char *const jsonType = "application/json;charset=UTF-8";

std::string envelopeText(int code, const std::string &msg) {
    return nlohmann::json{{"status", code}, {"msg", msg}, {"data", nlohmann::json::object()}}
        .dump();
}

bool plausibleHost(const std::string &host) {
    if (host.empty() || host.size() > 255)
        return false;
    for (char ch : host)
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '.' && ch != '-' && ch != ':' &&
            ch != '[' && ch != ']')
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

// Whether binding the address fails because something else holds the port.
bool portInUse(const std::string &host, int port) {
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool inUse = false;
    for (addrinfo *a = found; a && !inUse; a = a->ai_next) {
        const int sock = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (sock < 0)
            continue;
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        inUse = ::bind(sock, a->ai_addr, a->ai_addrlen) != 0 && errno == EADDRINUSE;
        ::close(sock);
    }
    ::freeaddrinfo(found);
    return inUse;
}

} // namespace

std::string HttpServer::Request::header(const std::string &name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

std::string HttpServer::Request::param(const std::string &name) const {
    const auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

struct HttpServer::Private {
    const ServerOptions &options;
    BankService &bank;
    ImageStore &images;
    FormulaRenderer &formulas;
    httplib::Server server;
    int port = 0;
    socket_t listener = INVALID_SOCKET;

    Private(const ServerOptions &o, BankService &b, ImageStore &i, FormulaRenderer &f)
        : options(o)
        , bank(b)
        , images(i)
        , formulas(f) {}

    std::string baseUrl(const httplib::Request &req) const {
        const std::string host = req.get_header_value("Host");
        if (plausibleHost(host))
            return "http://" + host;
        return "http://" + options.bindAddress + ":" + std::to_string(port);
    }
};

HttpServer::HttpServer(const ServerOptions &options, BankService &bank, ImageStore &images,
                       FormulaRenderer &formulas)
    : d(std::make_unique<Private>(options, bank, images, formulas)) {
    httplib::Server &s = d->server;
    const size_t threads = size_t(options.threads);
    s.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // Nagle plus delayed ACKs would add tens of milliseconds to every small POST.
    s.set_tcp_nodelay(true);
    // Remembers the listening socket, whose backlog bind() raises.
    Private *p = d.get();
    // Address reuse only, for a restart over connections in TIME_WAIT: port reuse would let a
    // second server share the port and split the teachers between two databases.
    s.set_socket_options([p](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        p->listener = sock;
    });
    s.set_payload_max_length(ImageStore::MaxBytes + 1024 * 1024);
    s.set_keep_alive_max_count(10000);
    s.set_read_timeout(10, 0);
    s.set_write_timeout(10, 0);
    s.set_pre_routing_handler([](const httplib::Request &, httplib::Response &) {
        requestStart = std::chrono::steady_clock::now();
        replyStatus = 0;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.set_logger([](const httplib::Request &req, const httplib::Response &res) {
        const double ms = std::chrono::duration<double, std::milli>(
                              std::chrono::steady_clock::now() - requestStart)
                              .count();
        if (replyStatus != 0)
            std::fprintf(stderr, "%s %s %d %.2fms (status %d)\n", req.method.c_str(),
                         req.path.c_str(), res.status, ms, replyStatus);
        else
            std::fprintf(stderr, "%s %s %d %.2fms\n", req.method.c_str(), req.path.c_str(),
                         res.status, ms);
    });
    s.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty())
            return;
        if (res.status == 404)
            res.set_content(envelopeText(status::NotFound, "接口不存在"), jsonType);
        else if (res.status == 413)
            res.set_content(envelopeText(status::BadRequest, "请求体过大"), jsonType);
        else
            res.set_content(envelopeText(status::BadRequest, "请求无效"), jsonType);
    });
    s.set_exception_handler(
        [](const httplib::Request &req, httplib::Response &res, std::exception_ptr error) {
            std::string what = "unknown";
            try {
                if (error)
                    std::rethrow_exception(error);
            } catch (const std::exception &e) {
                what = e.what();
            } catch (...) {
            }
            std::fprintf(stderr, "error in %s: %s\n", req.path.c_str(), what.c_str());
            res.status = 500;
            res.set_content("internal error", "text/plain;charset=UTF-8");
        });
    registerRoutes();
    registerExtraRoutes();
}

HttpServer::~HttpServer() = default;

void HttpServer::addRoute(const std::string &method, const std::string &path, Handler handler) {
    auto serve = [this, handler](const httplib::Request &req, httplib::Response &res,
                                 std::string body) {
        Request request;
        request.method = req.method;
        request.path = req.path;
        request.body = std::move(body);
        request.baseUrl = d->baseUrl(req);
        for (const auto &h : req.headers)
            request.headers.emplace(h.first, h.second);
        for (const auto &p : req.params)
            request.params.emplace(p.first, p.second);
        const Response response = handler(request);
        res.status = response.status;
        res.set_content(response.body, response.contentType.c_str());
    };
    if (method == "GET") {
        d->server.Get(path, [serve](const httplib::Request &req, httplib::Response &res) {
            serve(req, res, std::string());
        });
        return;
    }
    // Bodies come through a content reader: the HTTP library refuses form bodies over 8 KB
    // when it parses them itself, and a handwritten formula of a few dozen strokes is more.
    d->server.Post(path, [serve](const httplib::Request &req, httplib::Response &res,
                                 const httplib::ContentReader &reader) {
        std::string body;
        reader([&body](const char *data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        serve(req, res, std::move(body));
    });
}

void HttpServer::registerRoutes() {
    httplib::Server &s = d->server;
    BankService &bank = d->bank;
    Private *p = d.get();

    for (const std::string &path : bank.paths()) {
        s.Post(path, [p, path](const httplib::Request &req, httplib::Response &res) {
            BankService::Reply reply;
            try {
                reply = p->bank.handle(path, req.body, req.get_header_value("loginToken"),
                                       p->baseUrl(req));
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
            res.set_content(nlohmann::json{{"status", code}, {"msg", msg}, {"data", data}}.dump(),
                            jsonType);
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
            const auto key =
                p->images.store(req.get_file_value("file").content, usage, user.id, error, refusal);
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
void HttpServer::registerExtraRoutes() {
    addRoute("POST", quenmo::RecognitionService::path, [](const Request &request) {
        const quenmo::RecognitionService::Reply reply =
            quenmo::RecognitionService::handle(request.body);
        Response response;
        response.status = reply.status;
        response.contentType = reply.contentType;
        response.body = reply.body;
        return response;
    });
}

bool HttpServer::bind() {
    if (!d->server.bind_to_port(d->options.bindAddress, d->options.port)) {
        if (portInUse(d->options.bindAddress, d->options.port))
            std::fprintf(stderr, "quenmo-server: port %d is already in use\n", d->options.port);
        else
            std::fprintf(stderr, "quenmo-server: cannot listen on %s:%d\n",
                         d->options.bindAddress.c_str(), d->options.port);
        return false;
    }
    d->port = d->options.port;
    // The HTTP library listens with a backlog of 5: a sixth client connecting at the same
    // moment would have its SYN dropped and wait a second to retry.
    if (d->listener != INVALID_SOCKET)
        ::listen(d->listener, SOMAXCONN);
    return true;
}

bool HttpServer::listen() {
    return d->server.listen_after_bind();
}

void HttpServer::stop() {
    d->server.stop();
}

int HttpServer::port() const {
    return d->port;
}
