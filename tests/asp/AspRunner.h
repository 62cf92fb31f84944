#pragma once

#include "AdoObjects.h"

#include "platform/automation/Variant.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

/// What a browser gets for one request of a page.
struct AspResponse {
    /// "200 OK" unless the page set another, "500 Internal Server Error" when its script failed.
    std::string status = "200 OK";
    /// The bytes of the body: text in the page's code page, or what BinaryWrite sent.
    std::string body;
    std::string contentType = "text/html";
    std::string charset;
    /// The headers the page added (AddHeader), in order, and the cookies it set.
    std::vector<std::pair<std::string, std::string>> headers;
    std::map<std::string, std::string> cookies;
    /// Where Response.Redirect sent the browser ("" when it did not).
    std::string redirect;
    /// The script error that stopped the page: "line N: description: source text".
    std::string error;

    int StatusCode() const { return std::stoi(status.substr(0, 3)); }
    /// The value of the first header of that name ("" when none), names matched without case.
    std::string Header(const std::string& name) const;
};

/// The state one site keeps between requests: its Application items and the log of every
/// statement its pages ran.
struct AspSiteState;

/// A generated site run the way a Classic ASP host runs it, with our script engine: one
/// request at a time, each page compiled from its text with its server-side includes, the
/// host's objects (Request, Response, Server, Session, Application) and ADO over the real
/// drivers. Test code: there is no socket, only requests made by calls.
class AspSite {
public:
    explicit AspSite(std::filesystem::path root);
    ~AspSite();
    AspSite(const AspSite&) = delete;
    AspSite& operator=(const AspSite&) = delete;

    const std::filesystem::path& Root() const { return mRoot; }
    /// Every statement the site's pages have run, in order.
    const StatementLog& Statements() const;
    StatementLog& Statements();

private:
    friend class AspBrowser;
    std::filesystem::path mRoot;
    std::unique_ptr<AspSiteState> mState;
};

/// One browser of a site: it keeps its session (items, id, time-out, locale) and its cookies
/// between requests, as a session cookie would.
class AspBrowser {
public:
    explicit AspBrowser(AspSite& site);
    ~AspBrowser();
    AspBrowser(const AspBrowser&) = delete;
    AspBrowser& operator=(const AspBrowser&) = delete;

    /// GET of a page: "page.asp" or "page.asp?name=value&...", the query already URL-encoded.
    AspResponse Get(const std::string& url);
    /// POST of a form to a page: the fields are URL-encoded here, in order.
    AspResponse Post(const std::string& url, const std::vector<std::pair<std::string, std::string>>& form);
    /// A request with a raw body and method.
    AspResponse Request(const std::string& method, const std::string& url, const std::string& body);

    /// The session's item of that name (Empty when none).
    automation::Variant SessionItem(const std::u16string& name) const;
    /// The session's locale, as the pages set it.
    std::int32_t SessionLcid() const;

private:
    struct SessionState;
    AspSite& mSite;
    std::unique_ptr<SessionState> mSession;
    std::map<std::string, std::string> mCookies;
};

/// Text for a query string or a form body: letters and digits stay, a space becomes "+",
/// everything else its UTF-8 bytes as %XX.
std::string UrlEncode(const std::string& text);

} // namespace qv::test
