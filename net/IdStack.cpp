#include "net/IdStack.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/Text.h"

namespace velomaris {

namespace {

thread_local int tPendingSocketError = 0;
thread_local int tLastSocketError = 0;

std::mutex gSocketLayerLock;
int gLiveComponentCount = 0;
std::unique_ptr<TIdStack> gSocketLayer;

struct SocketErrorEntry {
    int code;
    const char* text;
};

constexpr SocketErrorEntry kSocketErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
    {11001, "Host not found."},
};

const char* SocketErrorText(int code) {
    for (const SocketErrorEntry& entry : kSocketErrorTexts) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return "";
}

}  // namespace

namespace {

struct NativeErrorEntry {
    int native;
    int winsock;
};

// EWOULDBLOCK equals EAGAIN on Linux. A send to a peer that has reset the connection fails
// with EPIPE once the reset has been seen; Windows reports that case as a reset (10054), and
// the send rules release the socket for it.
constexpr NativeErrorEntry kNativeErrors[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {ENFILE, 10024},          {EAGAIN, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {EPIPE, 10054},           {ENOBUFS, 10055},
    {ENOMEM, 10055},       {EISCONN, 10056},         {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},    {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},    {EHOSTUNREACH, 10065},    {ENOTEMPTY, 10066},
};

}  // namespace

int WinsockErrorFromErrno(int nativeError) {
    for (const NativeErrorEntry& entry : kNativeErrors) {
        if (entry.native == nativeError) {
            return entry.winsock;
        }
    }
    return nativeError;
}

int WinsockErrorFromLookup(int lookupError, int nativeError) {
    switch (lookupError) {
        case EAI_NONAME:
            return kWsaHostNotFound;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return kWsaNoData;
#endif
        case EAI_AGAIN:
            return kWsaTryAgain;
        case EAI_FAIL:
            return kWsaNoRecovery;
        case EAI_MEMORY:
            return 10055;
        case EAI_SYSTEM:
            return WinsockErrorFromErrno(nativeError);
        default:
            return kWsaNoRecovery;
    }
}

std::string TranslateSocketError(int code) {
    return "Socket Error # " + std::to_string(code) + "\r\n" + SocketErrorText(code);
}

namespace {

// Splits at the first three dots; the fourth field is the rest of the text.
bool SplitDotted(const std::string& text, std::string fields[4]) {
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t dot = text.find('.', start);
        if (dot == std::string::npos) {
            return false;
        }
        fields[i] = text.substr(start, dot - start);
        start = dot + 1;
    }
    fields[3] = text.substr(start);
    return true;
}

bool IsReservedInvalidName(const std::string& host) {
    std::string name = LowerAscii(host);
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    const std::string suffix = ".invalid";
    return name == "invalid" ||
           (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
}

}  // namespace

bool IsDottedAddress(const std::string& text) {
    std::string fields[4];
    if (!SplitDotted(text, fields)) {
        return false;
    }
    for (const std::string& field : fields) {
        std::optional<std::int32_t> value = TryStrToInt(field);
        if (!value || *value < 0 || *value > 255) {
            return false;
        }
    }
    return true;
}

std::uint32_t AddressFromText(const std::string& dotted) {
    std::string fields[4];
    if (!SplitDotted(dotted, fields)) {
        throw EConvertError("'" + dotted + "' is not a valid IPv4 address");
    }
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) {
        std::int32_t value = StrToInt(fields[i]);
        if (value < 0 || value > 255) {
            throw EConvertError("'" + dotted + "' is not a valid IPv4 address");
        }
        bytes[i] = static_cast<unsigned char>(value);
    }
    std::uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}

std::string TextFromAddress(std::uint32_t networkOrderAddress) {
    unsigned char bytes[4];
    std::memcpy(bytes, &networkOrderAddress, 4);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
           std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

int PendingSocketError() {
    return tPendingSocketError;
}

void SetPendingSocketError(int code) {
    tPendingSocketError = code;
}

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int> ignored) {
    if (result != -1) {
        return false;
    }
    const int code = PendingSocketError();
    tLastSocketError = code;
    for (int candidate : ignored) {
        if (candidate == code) {
            return true;
        }
    }
    ThrowSocketError(code);
}

void TIdStack::ThrowSocketError(int code) {
    throw EIdSocketError(code, TranslateSocketError(code));
}

int TIdStack::LastSocketError() const {
    return tLastSocketError;
}

std::string TIdStack::LookupHost(const std::string& host) {
    if (SameTextAscii(host, "LOCALHOST")) {
        return "127.0.0.1";
    }
    if (IsDottedAddress(host)) {
        return host;
    }
    if (IsReservedInvalidName(host)) {
        // RFC 6761 section 6.4: names under "invalid." never resolve, so none is looked up.
        SetPendingSocketError(kWsaHostNotFound);
        CheckSocketResult(-1);
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &answer);
    if (rc != 0 || answer == nullptr) {
        SetPendingSocketError(rc != 0 ? WinsockErrorFromLookup(rc, errno) : kWsaHostNotFound);
        CheckSocketResult(-1);
    }
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> owner(answer, ::freeaddrinfo);
    const auto* address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr);
    return TextFromAddress(address->sin_addr.s_addr);
}

TIdStack* SocketLayer() {
    std::lock_guard<std::mutex> lock(gSocketLayerLock);
    return gSocketLayer.get();
}

int LiveComponentCount() {
    std::lock_guard<std::mutex> lock(gSocketLayerLock);
    return gLiveComponentCount;
}

SocketLayerReference::SocketLayerReference() {
    std::lock_guard<std::mutex> lock(gSocketLayerLock);
    if (gLiveComponentCount == 0) {
        gSocketLayer = std::make_unique<TIdStack>();
    }
    ++gLiveComponentCount;
    stack_ = gSocketLayer.get();
}

SocketLayerReference::~SocketLayerReference() {
    std::lock_guard<std::mutex> lock(gSocketLayerLock);
    if (--gLiveComponentCount == 0) {
        gSocketLayer.reset();
    }
}

}  // namespace velomaris
