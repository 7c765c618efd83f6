// The socket layer: one process-wide object over the POSIX socket interface (IPv4, TCP,
// blocking), the translation of failing calls into numbered EIdSocketError exceptions, and
// host-name lookup. Error numbers are those of Windows Sockets throughout, because the
// connection logic tests some of them and the messages quote them; native errno values are
// mapped in exactly one place (WinsockErrorFromErrno).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>

#include "net/IdException.h"

namespace velomaris {

// Windows Sockets numbers the connection logic examines.
inline constexpr int kWsaeIntr = 10004;
inline constexpr int kWsaeBadf = 10009;
inline constexpr int kWsaeNotSock = 10038;
inline constexpr int kWsaeAddrInUse = 10048;
inline constexpr int kWsaeConnAborted = 10053;
inline constexpr int kWsaeConnReset = 10054;
inline constexpr int kWsaeShutdown = 10058;
inline constexpr int kWsaeTimedOut = 10060;
inline constexpr int kWsaeConnRefused = 10061;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;

// The Windows Sockets number for a native errno value. A value with no counterpart is passed
// through unchanged (its message then carries only the number).
int WinsockErrorFromErrno(int nativeError);

// The Windows Sockets number for a getaddrinfo() failure (EAI_* value; EAI_SYSTEM uses errno).
int WinsockErrorFromLookup(int lookupError, int nativeError);

// "Socket Error # %d\r\n%s" with the code and its text (empty for a code without text).
std::string TranslateSocketError(int code);

// True when the text is four dot-separated integers from 0 to 255: the text is split at its
// first three dots, so "1.2.3.4.5" is not dotted (its fourth field is "4.5").
bool IsDottedAddress(const std::string& text);

// The four bytes of a dotted address in network order (each field converted as an integer;
// a field that is not a number raises EConvertError).
std::uint32_t AddressFromText(const std::string& dotted);
// The dotted text of an address in network order.
std::string TextFromAddress(std::uint32_t networkOrderAddress);

class TIdStack {
public:
    TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;

    // result is the raw result of a socket call (-1 = failed). Returns false when the call did
    // not fail, true when it failed with one of the ignored codes; raises EIdSocketError for
    // every other failure. The code examined is the calling thread's last socket error.
    bool CheckSocketResult(int result, std::initializer_list<int> ignored = {});
    [[noreturn]] void ThrowSocketError(int code);
    // "LOCALHOST" in any case gives 127.0.0.1 and a dotted address is returned unchanged, both
    // without a lookup; otherwise the system resolver's first IPv4 address, or EIdSocketError
    // (11001 for a name that does not exist).
    std::string LookupHost(const std::string& host);

    // The calling thread's code of the last failing call examined by CheckSocketResult.
    int LastSocketError() const;
};

// The last error of a raw socket operation of the calling thread, as a Windows Sockets number
// (the counterpart of WSAGetLastError); set by every failing operation of the socket handle.
int PendingSocketError();
void SetPendingSocketError(int code);

// The process-wide socket layer and its life: every network component holds a
// SocketLayerReference; the first one creates SocketLayer, the last one destroys it.
TIdStack* SocketLayer();
int LiveComponentCount();

class SocketLayerReference {
public:
    SocketLayerReference();
    ~SocketLayerReference();
    SocketLayerReference(const SocketLayerReference&) = delete;
    SocketLayerReference& operator=(const SocketLayerReference&) = delete;
    TIdStack& Stack() const { return *stack_; }

private:
    TIdStack* stack_;
};

}  // namespace velomaris
