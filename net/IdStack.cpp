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

const char* SocketErrorText(int code) {
    switch (code) {
        case 10004:
            return "Interrupted system call.";
        case 10009:
            return "Bad file number.";
        case 10013:
            return "Access denied.";
        case 10014:
            return "Bad address.";
        case 10022:
            return "Invalid argument.";
        case 10024:
            return "Too many open files.";
        case 10035:
            return "Operation would block. ";
        case 10036:
            return "Operation now in progress.";
        case 10037:
            return "Operation already in progress.";
        case 10038:
            return "Socket operation on non-socket.";
        case 10039:
            return "Destination address required.";
        case 10040:
            return "Message too long.";
        case 10041:
            return "Protocol wrong type for socket.";
        case 10042:
            return "Bad protocol option.";
        case 10043:
            return "Protocol not supported.";
        case 10044:
            return "Socket type not supported.";
        case 10045:
            return "Operation not supported on socket.";
        case 10046:
            return "Protocol family not supported.";
        case 10047:
            return "Address family not supported by protocol family.";
        case 10048:
            return "Address already in use.";
        case 10049:
            return "Cannot assign requested address.";
        case 10050:
            return "Network is down.";
        case 10051:
            return "Network is unreachable.";
        case 10052:
            return "Net dropped connection or reset.";
        case 10053:
            return "Software caused connection abort.";
        case 10054:
            return "Connection reset by peer.";
        case 10055:
            return "No buffer space available.";
        case 10056:
            return "Socket is already connected.";
        case 10057:
            return "Socket is not connected.";
        case 10058:
            return "Cannot send or receive after socket is closed.";
        case 10059:
            return "Too many references, cannot splice.";
        case 10060:
            return "Connection timed out.";
        case 10061:
            return "Connection refused.";
        case 10062:
            return "Too many levels of symbolic links.";
        case 10063:
            return "File name too long.";
        case 10064:
            return "Host is down.";
        case 10065:
            return "No route to host.";
        case 10066:
            return "Directory not empty";
        case 11001:
            return "Host not found.";
        default:
            return "";
    }
}

}  // namespace

int WinsockErrorFromErrno(int nativeError) {
    switch (nativeError) {
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
        case EPERM:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return 10022;
        case EMFILE:
        case ENFILE:
            return 10024;
        case EAGAIN:
            return 10035;  // EWOULDBLOCK has the same value on Linux
        case EINPROGRESS:
            return 10036;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EDESTADDRREQ:
            return 10039;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case ENOPROTOOPT:
            return 10042;
        case EPROTONOSUPPORT:
            return 10043;
        case ESOCKTNOSUPPORT:
            return 10044;
        case EOPNOTSUPP:
            return 10045;
        case EPFNOSUPPORT:
            return 10046;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        // A send to a peer that has reset the connection fails with EPIPE once the reset has
        // been seen; Windows reports that case as a reset, and the send rules release the
        // socket for it.
        case ECONNRESET:
        case EPIPE:
            return 10054;
        case ENOBUFS:
        case ENOMEM:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ESHUTDOWN:
            return 10058;
        case ETOOMANYREFS:
            return 10059;
        case ETIMEDOUT:
            return 10060;
        case ECONNREFUSED:
            return 10061;
        case ELOOP:
            return 10062;
        case ENAMETOOLONG:
            return 10063;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return 10065;
        case ENOTEMPTY:
            return 10066;
        default:
            return nativeError;
    }
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
