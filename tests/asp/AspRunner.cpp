#include "AspRunner.h"

#include "AspPages.h"

#include "platform/vbscript/ScriptControl.h"

#include "platform/automation/Conversion.h"
#include "platform/automation/Error.h"
#include "platform/automation/Object.h"
#include "platform/automation/Text.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <regex>
#include <unordered_map>

namespace qv::test {

namespace fs = std::filesystem;

using automation::MakeRef;
using automation::Object;
using automation::Ref;
using automation::Variant;

namespace {

using ItemMap = std::unordered_map<std::u16string, Variant, automation::NoCaseHash, automation::NoCaseEqual>;
using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

/// Thrown through the script engine by Response.End and Response.Redirect: not an error, so
/// that On Error Resume Next cannot swallow it, and the page stops where it stands.
struct PageEnd {};

std::u16string U(std::string_view text) {
    return automation::FromUtf8(text);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::u16string UrlDecode(std::string_view text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%' && at + 2 < text.size() && HexValue(text[at + 1]) >= 0 &&
                   HexValue(text[at + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(text[at + 1]) * 16 + HexValue(text[at + 2]));
            at += 2;
        } else {
            bytes += c;
        }
    }
    return U(bytes);
}

Pairs ParsePairs(std::string_view text) {
    Pairs pairs;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view pair = text.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t equals = pair.find('=');
            pairs.emplace_back(UrlDecode(pair.substr(0, equals)),
                               equals == std::string_view::npos ? u"" : UrlDecode(pair.substr(equals + 1)));
        }
        start = end + 1;
    }
    return pairs;
}

/// A request collection's value: Empty for a name it does not hold, several values joined by
/// ", " as the host joins them.
Variant Lookup(const Pairs& pairs, std::u16string_view name) {
    std::optional<std::u16string> value;
    for (const auto& [key, text] : pairs) {
        if (automation::EqualsNoCase(key, name)) {
            value = value ? *value + u", " + text : text;
        }
    }
    return value ? Variant(*value) : Variant();
}

/// Text as the bytes of a code page: UTF-8 for 65001, otherwise one byte per character, "?" for
/// what a single-byte page cannot hold.
std::string Encode(std::u16string_view text, std::int32_t codePage) {
    if (codePage == 65001) {
        return automation::ToUtf8(text);
    }
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t unit : text) {
        bytes += unit < 256 ? static_cast<char>(unit) : '?';
    }
    return bytes;
}

std::string Narrow(std::u16string_view text) {
    return automation::ToUtf8(text);
}

} // namespace

struct AspSiteState {
    ItemMap application;
    StatementLog statements;
    std::int32_t nextSessionId = 417000001;
};

struct AspBrowser::SessionState {
    ItemMap items;
    std::int32_t id = 0;
    std::int32_t timeout = 20;
    std::int32_t lcid = 1033;
    std::int32_t codePage = 0; // 0: the page's
    bool abandoned = false;
};

namespace {

/// Everything one request of a page has: the request, the response being built, the browser's
/// session and the site.
struct PageContext {
    fs::path siteRoot;
    fs::path page;
    std::string method;
    std::string queryText;
    std::string body;
    Pairs query;
    Pairs form;
    Pairs cookies;
    AspResponse response;
    std::int32_t codePage = 1252;
    bool buffer = true;
    std::int32_t scriptTimeout = 90;
    AspBrowser* browser = nullptr;
    ItemMap* sessionItems = nullptr;
    std::int32_t* sessionId = nullptr;
    std::int32_t* sessionTimeout = nullptr;
    std::int32_t* sessionLcid = nullptr;
    std::int32_t* sessionCodePage = nullptr;
    bool* sessionAbandoned = nullptr;
    AspSiteState* site = nullptr;

    std::int32_t OutputCodePage() const { return *sessionCodePage != 0 ? *sessionCodePage : codePage; }
};

class ContextObject : public Object {
public:
    explicit ContextObject(PageContext& context) : mContext(&context) {}

protected:
    PageContext& Context() const { return *mContext; }

private:
    PageContext* mContext;
};

/// Yields the names of a request collection, for For Each.
class NameEnumerator final : public automation::Enumerator {
public:
    explicit NameEnumerator(std::vector<std::u16string> names) : mNames(std::move(names)) {}
    bool Next(Variant& item) override {
        if (mNext >= mNames.size()) {
            return false;
        }
        item = Variant(mNames[mNext++]);
        return true;
    }

private:
    std::vector<std::u16string> mNames;
    std::size_t mNext = 0;
};

/// Request.QueryString, Form or Cookies as a collection: its default member gives a value by
/// name (Empty when missing) or by position from 1, and without an argument the whole text the
/// browser sent; For Each walks the names, once each.
class RequestCollection final : public Object {
public:
    RequestCollection(const Pairs& pairs, std::u16string text) : mPairs(pairs), mText(std::move(text)) {}
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        static const automation::ClassInfo info(
            u"IRequestDictionary",
            {automation::Default(Method<&RequestCollection::Item>(u"Item")),
             Method<&RequestCollection::Count>(u"Count"), Method<&RequestCollection::Key>(u"Key")});
        return info;
    }
    Variant Item(std::optional<Variant> index) const {
        if (!index) {
            return Variant(mText);
        }
        const Variant& plain = index->Deref();
        if (plain.IsString()) {
            return Lookup(mPairs, plain.StringValue());
        }
        return Lookup(mPairs, Key(automation::ToLong(plain)));
    }
    std::int32_t Count() const { return static_cast<std::int32_t>(Names().size()); }
    std::u16string Key(std::int32_t position) const {
        const std::vector<std::u16string> names = Names();
        if (position < 1 || position > static_cast<std::int32_t>(names.size())) {
            automation::Raise(automation::ErrorNumber::SubscriptOutOfRange);
        }
        return names[static_cast<std::size_t>(position - 1)];
    }
    Ref<automation::Enumerator> NewEnum() override { return MakeRef<NameEnumerator>(Names()); }

private:
    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> names;
        for (const auto& pair : mPairs) {
            if (std::none_of(names.begin(), names.end(), [&](const std::u16string& name) {
                    return automation::EqualsNoCase(name, pair.first);
                })) {
                names.push_back(pair.first);
            }
        }
        return names;
    }

    const Pairs& mPairs;
    std::u16string mText;
};

class RequestObject final : public ContextObject {
public:
    using ContextObject::ContextObject;
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        static const automation::ClassInfo info(
            u"IRequest",
            {automation::Default(Method<&RequestObject::Item>(u"Item")),
             Method<&RequestObject::QueryString>(u"QueryString"), Method<&RequestObject::Form>(u"Form"),
             Method<&RequestObject::ServerVariables>(u"ServerVariables"),
             Method<&RequestObject::Cookies>(u"Cookies"), Method<&RequestObject::TotalBytes>(u"TotalBytes")});
        return info;
    }
    Variant QueryString(std::optional<std::u16string> name) const {
        return name ? Lookup(Context().query, *name)
                    : Variant(
                          Ref<Object>(MakeRef<RequestCollection>(Context().query, U(Context().queryText))));
    }
    Variant Form(std::optional<std::u16string> name) const {
        return name ? Lookup(Context().form, *name)
                    : Variant(Ref<Object>(MakeRef<RequestCollection>(Context().form, U(Context().body))));
    }
    Variant Cookies(std::optional<std::u16string> name) const {
        return name ? Lookup(Context().cookies, *name)
                    : Variant(Ref<Object>(MakeRef<RequestCollection>(Context().cookies, u"")));
    }
    std::int32_t TotalBytes() const { return static_cast<std::int32_t>(Context().body.size()); }
    Variant ServerVariables(std::optional<std::u16string> name) const {
        if (!name) {
            return Variant(u"");
        }
        const PageContext& context = Context();
        const std::string script = "/" + fs::relative(context.page, context.siteRoot).generic_string();
        const std::map<std::string, std::string> variables{
            {"REQUEST_METHOD", context.method},
            {"QUERY_STRING", context.queryText},
            {"SCRIPT_NAME", script},
            {"URL", script},
            {"PATH_INFO", script},
            {"PATH_TRANSLATED", context.page.string()},
            {"APPL_PHYSICAL_PATH", context.siteRoot.string() + "/"},
            {"SERVER_NAME", "localhost"},
            {"HTTP_HOST", "localhost"},
            {"SERVER_PORT", "80"},
            {"SERVER_PROTOCOL", "HTTP/1.1"},
            {"HTTPS", "off"},
            {"REMOTE_ADDR", "127.0.0.1"},
            {"REMOTE_HOST", "127.0.0.1"},
            {"CONTENT_LENGTH", std::to_string(context.body.size())},
            {"CONTENT_TYPE", context.method == "POST" ? "application/x-www-form-urlencoded" : ""},
            {"HTTP_USER_AGENT", "Mozilla/5.0 (page runner)"},
        };
        const auto found = variables.find(Narrow(automation::ToUpper(*name)));
        return Variant(found == variables.end() ? u"" : U(found->second));
    }
    /// Request("name"): the query string, then the form, the cookies and the server's variables.
    Variant Item(const std::u16string& name) const {
        for (const Pairs* pairs : {&Context().query, &Context().form, &Context().cookies}) {
            Variant value = Lookup(*pairs, name);
            if (!value.IsEmpty()) {
                return value;
            }
        }
        Variant variable = ServerVariables(name);
        return automation::ToString(variable).empty() ? Variant() : variable;
    }
};

/// A cookie of the response: its value (the default), and its expiry and path, which are kept
/// but not sent anywhere.
class CookieObject final : public Object {
public:
    CookieObject(AspResponse& response, std::string name) : mResponse(&response), mName(std::move(name)) {}
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Property;
        static const automation::ClassInfo info(
            u"IWriteCookie",
            {automation::Default(Property<&CookieObject::Value, &CookieObject::SetValue>(u"Item")),
             Property<&CookieObject::Value, &CookieObject::SetIgnored>(u"Expires"),
             Property<&CookieObject::Value, &CookieObject::SetIgnored>(u"Path"),
             Property<&CookieObject::Value, &CookieObject::SetIgnored>(u"Domain"),
             Property<&CookieObject::Value, &CookieObject::SetIgnored>(u"Secure")});
        return info;
    }
    std::u16string Value() const {
        const auto found = mResponse->cookies.find(mName);
        return found == mResponse->cookies.end() ? u"" : U(found->second);
    }
    void SetValue(const std::u16string& value) { mResponse->cookies[mName] = Narrow(value); }
    void SetIgnored(const Variant&) {}

private:
    AspResponse* mResponse;
    std::string mName;
};

class ResponseObject final : public ContextObject {
public:
    using ContextObject::ContextObject;
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        using automation::Property;
        automation::MemberInfo cookies = Method<&ResponseObject::Cookies>(u"Cookies");
        cookies.let = &automation::detail::Thunk<&ResponseObject::SetCookie>;
        static const automation::ClassInfo info(
            u"IResponse",
            {Method<&ResponseObject::Write>(u"Write"), Method<&ResponseObject::BinaryWrite>(u"BinaryWrite"),
             Method<&ResponseObject::Redirect>(u"Redirect"), Method<&ResponseObject::End>(u"End"),
             Method<&ResponseObject::Clear>(u"Clear"), Method<&ResponseObject::Flush>(u"Flush"),
             Method<&ResponseObject::AddHeader>(u"AddHeader"),
             Property<&ResponseObject::Buffer, &ResponseObject::SetBuffer>(u"Buffer"),
             Property<&ResponseObject::Charset, &ResponseObject::SetCharset>(u"Charset"),
             Property<&ResponseObject::ContentType, &ResponseObject::SetContentType>(u"ContentType"),
             Property<&ResponseObject::Status, &ResponseObject::SetStatus>(u"Status"),
             Property<&ResponseObject::CodePage, &ResponseObject::SetCodePage>(u"CodePage"),
             Property<&ResponseObject::Expires, &ResponseObject::SetExpires>(u"Expires"),
             Property<&ResponseObject::CacheControl, &ResponseObject::SetCacheControl>(u"CacheControl"),
             Method<&ResponseObject::IsClientConnected>(u"IsClientConnected"), cookies});
        return info;
    }
    void Write(const Variant& value) {
        const Variant plain = automation::DefaultValue(value);
        if (plain.IsNull() || plain.IsEmpty()) {
            return;
        }
        Context().response.body += Encode(automation::ToString(plain), Context().OutputCodePage());
        mWritten = true;
    }
    void BinaryWrite(const Variant& value) {
        const Variant plain = automation::DefaultValue(value);
        if (!plain.IsArray()) {
            automation::Raise(automation::ErrorNumber::TypeMismatch);
        }
        for (const Variant& element : plain.ArrayValue()->Elements()) {
            Context().response.body += static_cast<char>(automation::ToByte(element));
        }
        mWritten = true;
    }
    void Redirect(const std::u16string& url) {
        RequireHeadersOpen();
        Context().response.body.clear();
        Context().response.status = "302 Object moved";
        Context().response.redirect = Narrow(url);
        throw PageEnd{};
    }
    void End() { throw PageEnd{}; }
    void Clear() {
        if (!Context().buffer) {
            RaiseAsp(u"Response.Clear: buffering is off.");
        }
        Context().response.body.clear();
    }
    void Flush() { mFlushed = true; }
    void AddHeader(const std::u16string& name, const std::u16string& value) {
        RequireHeadersOpen();
        Context().response.headers.emplace_back(Narrow(name), Narrow(value));
    }
    bool Buffer() const { return Context().buffer; }
    void SetBuffer(bool buffer) {
        if (mWritten && buffer != Context().buffer) {
            RaiseAsp(u"The buffer cannot be changed after content has been written.");
        }
        Context().buffer = buffer;
    }
    std::u16string Charset() const { return U(Context().response.charset); }
    void SetCharset(const std::u16string& charset) {
        RequireHeadersOpen();
        Context().response.charset = Narrow(charset);
    }
    std::u16string ContentType() const { return U(Context().response.contentType); }
    void SetContentType(const std::u16string& type) {
        RequireHeadersOpen();
        Context().response.contentType = Narrow(type);
    }
    std::u16string Status() const { return U(Context().response.status); }
    void SetStatus(const std::u16string& status) {
        RequireHeadersOpen();
        static const std::regex valid(R"([1-5][0-9][0-9]( .*)?)");
        const std::string text = Narrow(status);
        if (!std::regex_match(text, valid)) {
            RaiseAsp(u"Invalid status value.");
        }
        Context().response.status = text;
    }
    std::int32_t CodePage() const { return Context().OutputCodePage(); }
    void SetCodePage(std::int32_t codePage) { Context().codePage = codePage; }
    std::int32_t Expires() const { return mExpires; }
    void SetExpires(std::int32_t minutes) { mExpires = minutes; }
    std::u16string CacheControl() const { return mCacheControl; }
    void SetCacheControl(const std::u16string& value) {
        mCacheControl = value;
        Context().response.headers.emplace_back("Cache-Control", Narrow(value));
    }
    bool IsClientConnected() const { return true; }
    Ref<Object> Cookies(const std::u16string& name) {
        return MakeRef<CookieObject>(Context().response, Narrow(name));
    }
    void SetCookie(const std::u16string& name, const std::u16string& value) {
        RequireHeadersOpen();
        Context().response.cookies[Narrow(name)] = Narrow(value);
    }

private:
    [[noreturn]] static void RaiseAsp(std::u16string_view text) {
        automation::Raise(static_cast<std::int32_t>(0x80004005u), u"Response object", std::u16string(text));
    }
    /// Without buffering, headers go with the first output and cannot change after it.
    void RequireHeadersOpen() const {
        if ((!Context().buffer && mWritten) || mFlushed) {
            RaiseAsp(u"The HTTP headers are already written to the client browser. Any HTTP header "
                     u"modifications must be made before writing page content.");
        }
    }

    bool mWritten = false;
    bool mFlushed = false;
    std::int32_t mExpires = 0;
    std::u16string mCacheControl = u"private";
};

/// The system's generator of unique identifiers that ASP sites reach as "Scriptlet.TypeLib":
/// each read of Guid is a new random identifier, "{8-4-4-4-12}" in hexadecimal.
class TypeLibObject final : public Object {
public:
    const automation::ClassInfo& GetClassInfo() const override {
        static const automation::ClassInfo info(u"ITypeLib",
                                                {automation::Method<&TypeLibObject::Guid>(u"Guid")});
        return info;
    }
    std::u16string Guid() const {
        static std::random_device device;
        std::array<std::uint8_t, 16> bytes{};
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(device() & 0xFF);
        }
        bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
        bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
        static constexpr char Digits[] = "0123456789ABCDEF";
        std::u16string text = u"{";
        for (std::size_t index = 0; index < bytes.size(); ++index) {
            if (index == 4 || index == 6 || index == 8 || index == 10) {
                text += u'-';
            }
            text += static_cast<char16_t>(Digits[bytes[index] >> 4]);
            text += static_cast<char16_t>(Digits[bytes[index] & 0x0F]);
        }
        return text + u"}";
    }
};

class ServerObject final : public ContextObject {
public:
    using ContextObject::ContextObject;
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        using automation::Property;
        static const automation::ClassInfo info(
            u"IServer",
            {Method<&ServerObject::MapPath>(u"MapPath"), Method<&ServerObject::HTMLEncode>(u"HTMLEncode"),
             Method<&ServerObject::URLEncode>(u"URLEncode"),
             Method<&ServerObject::CreateObject>(u"CreateObject"),
             Property<&ServerObject::ScriptTimeout, &ServerObject::SetScriptTimeout>(u"ScriptTimeout")});
        return info;
    }
    std::u16string MapPath(const std::u16string& path) const {
        std::string text = Narrow(path);
        std::replace(text.begin(), text.end(), '\\', '/');
        const PageContext& context = Context();
        fs::path mapped = text.starts_with("/") ? context.siteRoot / fs::path(text).relative_path()
                                                : context.page.parent_path() / text;
        mapped = mapped.lexically_normal();
        const fs::path root = context.siteRoot.lexically_normal();
        const std::string relative = mapped.lexically_relative(root).generic_string();
        if (relative.starts_with("..")) {
            automation::Raise(
                static_cast<std::int32_t>(0x80004005u), u"Server.MapPath()",
                u"The '..' characters are not allowed in the Path parameter for the MapPath method.");
        }
        std::string result = mapped.string();
        if (result.size() > 1 && result.ends_with("/")) {
            result.pop_back();
        }
        return U(result);
    }
    std::u16string HTMLEncode(const Variant& value) const {
        const Variant plain = automation::DefaultValue(value);
        if (plain.IsNull() || plain.IsEmpty()) {
            return u"";
        }
        std::u16string encoded;
        for (char16_t c : automation::ToString(plain)) {
            switch (c) {
            case u'<':
                encoded += u"&lt;";
                break;
            case u'>':
                encoded += u"&gt;";
                break;
            case u'&':
                encoded += u"&amp;";
                break;
            case u'"':
                encoded += u"&quot;";
                break;
            default:
                // The host writes the upper half of Latin-1 as numeric references.
                if (c >= 160 && c <= 255) {
                    encoded += u"&#" + U(std::to_string(static_cast<int>(c))) + u";";
                } else {
                    encoded += c;
                }
            }
        }
        return encoded;
    }
    std::u16string URLEncode(const Variant& value) const {
        const Variant plain = automation::DefaultValue(value);
        if (plain.IsNull() || plain.IsEmpty()) {
            return u"";
        }
        const std::u16string text = automation::ToString(plain);
        return U(UrlEncode(Encode(text, Context().OutputCodePage())));
    }
    Ref<Object> CreateObject(const std::u16string& progId) const {
        if (Ref<Object> object = CreateAdoObject(progId, Context().site->statements)) {
            return object;
        }
        if (automation::EqualsNoCase(progId, u"Scriptlet.TypeLib")) {
            return automation::MakeRef<TypeLibObject>();
        }
        automation::Raise(automation::ErrorNumber::CannotCreateObject, u"Server object",
                          u"Invalid class string: " + progId);
    }
    std::int32_t ScriptTimeout() const { return Context().scriptTimeout; }
    void SetScriptTimeout(std::int32_t seconds) { Context().scriptTimeout = seconds; }
};

/// Session.Contents: the session's items, which a page may also remove.
class SessionContents final : public Object {
public:
    explicit SessionContents(ItemMap& items) : mItems(items) {}
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        automation::MemberInfo item = automation::Default(Method<&SessionContents::Item>(u"Item"));
        item.let = &automation::detail::Thunk<&SessionContents::SetItem>;
        item.set = item.let;
        static const automation::ClassInfo info(u"IVariantDictionary",
                                                {item, Method<&SessionContents::Count>(u"Count"),
                                                 Method<&SessionContents::Remove>(u"Remove"),
                                                 Method<&SessionContents::RemoveAll>(u"RemoveAll")});
        return info;
    }
    Variant Item(const std::u16string& name) const {
        const auto found = mItems.find(name);
        return found == mItems.end() ? Variant() : found->second;
    }
    void SetItem(const std::u16string& name, const Variant& value) { mItems[name] = value.Deref(); }
    std::int32_t Count() const { return static_cast<std::int32_t>(mItems.size()); }
    void Remove(const std::u16string& name) { mItems.erase(name); }
    void RemoveAll() { mItems.clear(); }

private:
    ItemMap& mItems;
};

class SessionObject final : public ContextObject {
public:
    using ContextObject::ContextObject;
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        using automation::Property;
        automation::MemberInfo item = automation::Default(Method<&SessionObject::Item>(u"Item"));
        item.let = &automation::detail::Thunk<&SessionObject::SetItem>;
        item.set = item.let;
        automation::MemberInfo contents = Method<&SessionObject::Contents>(u"Contents");
        static const automation::ClassInfo info(
            u"ISessionObject", {item, contents, Method<&SessionObject::SessionID>(u"SessionID"),
                                Property<&SessionObject::Timeout, &SessionObject::SetTimeout>(u"Timeout"),
                                Property<&SessionObject::Lcid, &SessionObject::SetLcid>(u"LCID"),
                                Property<&SessionObject::CodePage, &SessionObject::SetCodePage>(u"CodePage"),
                                Method<&SessionObject::Abandon>(u"Abandon")});
        return info;
    }
    Variant Item(const std::u16string& name) const {
        const auto found = Context().sessionItems->find(name);
        return found == Context().sessionItems->end() ? Variant() : found->second;
    }
    void SetItem(const std::u16string& name, const Variant& value) {
        (*Context().sessionItems)[name] = value.Deref();
    }
    Ref<Object> Contents() const { return MakeRef<SessionContents>(*Context().sessionItems); }
    std::int32_t SessionID() const { return *Context().sessionId; }
    std::int32_t Timeout() const { return *Context().sessionTimeout; }
    void SetTimeout(std::int32_t minutes) {
        if (minutes < 1 || minutes > 1440) {
            automation::Raise(automation::ErrorNumber::InvalidProcedureCall);
        }
        *Context().sessionTimeout = minutes;
    }
    std::int32_t Lcid() const { return *Context().sessionLcid; }
    void SetLcid(std::int32_t lcid) {
        // The session's locale decides how the pages parse and print numbers and dates.
        if (!automation::SetCurrentLocale(lcid)) {
            automation::Raise(static_cast<std::int32_t>(0x80004005u), u"Session object", u"Invalid LCID.");
        }
        *Context().sessionLcid = lcid;
    }
    std::int32_t CodePage() const { return Context().OutputCodePage(); }
    void SetCodePage(std::int32_t codePage) { *Context().sessionCodePage = codePage; }
    void Abandon() { *Context().sessionAbandoned = true; }
};

class ApplicationObject final : public ContextObject {
public:
    using ContextObject::ContextObject;
    const automation::ClassInfo& GetClassInfo() const override {
        using automation::Method;
        automation::MemberInfo item = automation::Default(Method<&ApplicationObject::Item>(u"Item"));
        item.let = &automation::detail::Thunk<&ApplicationObject::SetItem>;
        item.set = item.let;
        static const automation::ClassInfo info(
            u"IApplicationObject",
            {item, Method<&ApplicationObject::Lock>(u"Lock"), Method<&ApplicationObject::Lock>(u"UnLock")});
        return info;
    }
    Variant Item(const std::u16string& name) const {
        const auto found = Context().site->application.find(name);
        return found == Context().site->application.end() ? Variant() : found->second;
    }
    void SetItem(const std::u16string& name, const Variant& value) {
        Context().site->application[name] = value.Deref();
    }
    void Lock() {}
};

std::string ReadFile(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

} // namespace

std::string AspResponse::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (automation::EqualsNoCase(U(key), U(name))) {
            return value;
        }
    }
    return "";
}

std::string UrlEncode(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')) {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

AspSite::AspSite(fs::path root) : mRoot(std::move(root)), mState(std::make_unique<AspSiteState>()) {}

AspSite::~AspSite() = default;

const StatementLog& AspSite::Statements() const {
    return mState->statements;
}

StatementLog& AspSite::Statements() {
    return mState->statements;
}

AspBrowser::AspBrowser(AspSite& site) : mSite(site), mSession(std::make_unique<SessionState>()) {
    mSession->id = site.mState->nextSessionId++;
}

AspBrowser::~AspBrowser() = default;

Variant AspBrowser::SessionItem(const std::u16string& name) const {
    const auto found = mSession->items.find(name);
    return found == mSession->items.end() ? Variant() : found->second;
}

std::int32_t AspBrowser::SessionLcid() const {
    return mSession->lcid;
}

AspResponse AspBrowser::Get(const std::string& url) {
    return Request("GET", url, "");
}

AspResponse AspBrowser::Post(const std::string& url,
                             const std::vector<std::pair<std::string, std::string>>& form) {
    std::string body;
    for (const auto& [name, value] : form) {
        if (!body.empty()) {
            body += '&';
        }
        body += UrlEncode(name) + "=" + UrlEncode(value);
    }
    return Request("POST", url, body);
}

AspResponse AspBrowser::Request(const std::string& method, const std::string& url, const std::string& body) {
    PageContext context;
    const std::size_t question = url.find('?');
    std::string path = url.substr(0, question);
    context.queryText = question == std::string::npos ? "" : url.substr(question + 1);
    while (path.starts_with("/")) {
        path.erase(0, 1);
    }
    context.siteRoot = mSite.mRoot;
    context.page = (mSite.mRoot / path).lexically_normal();
    context.method = method;
    context.body = body;
    context.query = ParsePairs(context.queryText);
    if (method == "POST") {
        context.form = ParsePairs(body);
    }
    for (const auto& [name, value] : mCookies) {
        context.cookies.emplace_back(U(name), U(value));
    }
    context.browser = this;
    context.sessionItems = &mSession->items;
    context.sessionId = &mSession->id;
    context.sessionTimeout = &mSession->timeout;
    context.sessionLcid = &mSession->lcid;
    context.sessionCodePage = &mSession->codePage;
    context.sessionAbandoned = &mSession->abandoned;
    context.site = mSite.mState.get();

    AspResponse& response = context.response;
    if (context.page.lexically_relative(mSite.mRoot).generic_string().starts_with("..") ||
        !fs::is_regular_file(context.page)) {
        response.status = "404 Not Found";
        return response;
    }
    if (context.page.extension() != ".asp") {
        // Static files go as they are.
        response.body = ReadFile(context.page);
        response.contentType = "application/octet-stream";
        return response;
    }

    std::vector<std::string> missing;
    const std::string expanded = ExpandAspIncludes(context.page, mSite.mRoot, missing);
    if (!missing.empty()) {
        response.status = "500 Internal Server Error";
        response.error = "include file not found: " + missing.front();
        return response;
    }
    static const std::regex codePageDirective(R"(<%@[^%]*CodePage\s*=\s*"?(\d+))", std::regex::icase);
    std::smatch match;
    if (std::regex_search(expanded, match, codePageDirective)) {
        context.codePage = std::stoi(match[1].str());
    }

    vbscript::ScriptControl engine;
    engine.SetTimeout(context.scriptTimeout * 1000);
    engine.AddObject(u"Request", MakeRef<RequestObject>(context));
    engine.AddObject(u"Response", MakeRef<ResponseObject>(context));
    engine.AddObject(u"Server", MakeRef<ServerObject>(context));
    engine.AddObject(u"Session", MakeRef<SessionObject>(context));
    engine.AddObject(u"Application", MakeRef<ApplicationObject>(context));
    automation::SetCurrentLocale(mSession->lcid);
    try {
        engine.AddCode(u"Global", U(AspScript(expanded)));
    } catch (const PageEnd&) {
        // Response.End or Redirect: the page is done.
    } catch (const automation::Error&) {
        const vbscript::ScriptError& error = engine.Error();
        response.status = "500 Internal Server Error";
        response.error = "line " + std::to_string(error.line) + ": " + Narrow(error.description) + ": " +
                         Narrow(error.text);
        response.body += Encode(u"\r\n" + error.source + u" error " + U(response.error), context.codePage);
    }
    // Objects the script still holds go before the page's context does; their Class_Terminate
    // runs in the time the page left, and the page fails when the time-out stops it.
    try {
        engine.Reset();
    } catch (const automation::Error&) {
        const vbscript::ScriptError& error = engine.Error();
        response.status = "500 Internal Server Error";
        response.error = "line " + std::to_string(error.line) + ": " + Narrow(error.description);
    }
    automation::SetCurrentLocale(1033);
    if (!response.redirect.empty()) {
        response.headers.emplace_back("Location", response.redirect);
    }
    for (const auto& [name, value] : response.cookies) {
        mCookies[name] = value;
    }
    if (mSession->abandoned) {
        const std::int32_t id = mSite.mState->nextSessionId++;
        *mSession = SessionState{};
        mSession->id = id;
    }
    return response;
}

} // namespace qv::test
