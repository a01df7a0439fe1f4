#include "sandbox/GamePageServer.h"

#include "sandbox/GamePage.h"

namespace sandbox {

namespace {

Response servePage(const Request& request) {
    if (request.method != "GET" || (request.path != "/" && request.path != "/index.html")) return Response::notFound();
    Response page;
    page.contentType = "text/html; charset=utf-8";
    page.body = gamePageHtml();
    return page;
}

}  // namespace

GamePageServer::GamePageServer(int port) : http_(servePage, port) {}

}  // namespace sandbox
