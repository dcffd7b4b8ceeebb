#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

class BankService;
class FormulaRenderer;
class ImageStore;
struct ServerOptions;

// The one HTTP front of the library, bench, image and account paths. The HTTP library stays
// inside httpserver.cpp; extra routes see only the plain Request and Response below.
class HttpServer
{
public:
    struct Request {
        std::string method;
        std::string path;
        std::string body;
        std::string baseUrl; // "http://host:port" the request was sent to
        std::multimap<std::string, std::string> headers;
        std::multimap<std::string, std::string> params; // query, and fields of small forms
        std::string header(const std::string &name) const;
        std::string param(const std::string &name) const;
    };
    struct Response {
        int status = 200;
        std::string contentType = "application/json;charset=UTF-8";
        std::string body;
    };
    using Handler = std::function<Response(const Request &)>;

    HttpServer(const ServerOptions &options, BankService &bank, ImageStore &images,
        FormulaRenderer &formulas);
    ~HttpServer();

    // Registers a route before listen(); method is "GET" or "POST". POST bodies up to the
    // server's payload limit reach the handler whole, whatever their content type.
    void addRoute(const std::string &method, const std::string &path, Handler handler);
    // Binds; false with a message on stderr when the address is taken.
    bool bind();
    // Serves until stop().
    bool listen();
    void stop();
    int port() const;

private:
    void registerRoutes();
    void registerExtraRoutes();

    struct Private;
    std::unique_ptr<Private> d;
};
