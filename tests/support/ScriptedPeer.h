// A scripted TCP peer for protocol tests.
//
// The peer listens on 127.0.0.1 on a port the system chooses (Port()) and, once Start() is
// called, plays a script on its own thread: accept a connection, expect an exact line, send
// bytes (whole or in random-sized pieces), stall, close with FIN, reset with RST, connect back
// to a port the client announced, accept on a second listener... Everything it reads is
// recorded per connection (Received()).
//
// Finish() waits for the script to end and reports every deviation as a test failure with the
// expected and the actual bytes (control characters escaped) and the transcript so far. After
// a deviation the rest of the script is skipped and every connection is reset, so a client
// blocked on the peer fails instead of hanging. Each waiting step gives up after StepTimeout
// (5 s by default); a script that has ended keeps its connections open until Finish() or the
// destructor, but never longer than 15 s, so no test can hang on the peer for ever.
//
// Typical use:
//     ScriptedPeer peer;
//     peer.Accept().Send("220 ready\r\n").ExpectLine("USER anna").Send("331 pw\r\n").Close();
//     peer.Start();
//     ... drive the client against 127.0.0.1:peer.Port() ...
//     peer.Finish();
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velomaris {

class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // The port of the first listener.
    int Port() const { return ListenerPort(0); }
    // Opens one more listener on 127.0.0.1 (for a second, data connection) and returns its
    // index for Accept(); its port is ListenerPort(index).
    int AddListener();
    int ListenerPort(int index) const;

    std::chrono::milliseconds StepTimeout{5000};

    // --- script steps, played in order by Start()
    // Accepts one connection on the listener; it becomes the current connection.
    ScriptedPeer& Accept(int listener = 0);
    // Connects to 127.0.0.1 on the port that portOf computes from the last line read; the new
    // connection becomes the current one (the active-mode FTP data connection).
    ScriptedPeer& ConnectBack(std::function<int(const std::string& lastLine)> portOf);
    // Makes an earlier connection (numbered from 0 in order of creation) current again.
    ScriptedPeer& Use(int connection);
    // Reads one line and compares it with line + CR LF, byte for byte.
    ScriptedPeer& ExpectLine(const std::string& line);
    // Reads one line and matches it (without CR LF) against an ECMAScript regular expression.
    ScriptedPeer& ExpectLineMatching(const std::string& pattern);
    // Reads exactly these bytes.
    ScriptedPeer& ExpectBytes(const std::string& bytes);
    // Reads until the client closes its side; the bytes are in Received().
    ScriptedPeer& ReadToEof();
    // Reads until the client closes its side and fails if any byte arrives first.
    ScriptedPeer& ExpectEof();
    ScriptedPeer& Send(const std::string& bytes);
    // Sends the bytes in pieces of 1 to maxPiece bytes (sizes drawn from seed), each its own
    // send call with a short pause, so the client meets them in separate receives.
    ScriptedPeer& SendInPieces(const std::string& bytes, unsigned seed, std::size_t maxPiece = 7);
    // Closes the current connection with FIN (everything sent before arrives first).
    ScriptedPeer& Close();
    // Closes the current connection with RST (SO_LINGER 0).
    ScriptedPeer& Reset();
    ScriptedPeer& Stall(std::chrono::milliseconds duration);
    // Runs custom code on the peer's thread; Fail() inside it records a deviation.
    ScriptedPeer& Do(std::function<void(ScriptedPeer&)> step);

    void Start();
    // Waits for the end of the script and reports deviations; true when there were none.
    bool Finish();

    // --- for Do() steps and for checks after Finish()
    std::string Received(int connection = 0) const;
    std::string LastLine() const;
    int ConnectionCount() const;
    // The socket of the current connection (Do() steps only).
    int CurrentSocket() const;
    void Fail(const std::string& what);

    // Escapes control bytes (\r, \n, \xNN) for readable messages.
    static std::string Escape(const std::string& bytes);

private:
    struct Connection {
        int fd = -1;
        std::string inbox;     // read but not yet consumed by a step
        std::string received;  // everything read
    };
    using Step = std::function<void()>;

    ScriptedPeer& Add(std::string name, Step step);
    void Run();
    Connection& Current();
    // Reads more bytes into the current connection's inbox; false at EOF. Fails on time-out.
    bool ReadMore(const std::string& waitingFor);
    // One line including LF from the current connection (empty after a failure or EOF).
    std::string TakeLine(const std::string& waitingFor);
    void SendAll(int fd, const char* bytes, std::size_t count);
    void ResetAll();
    bool Failed() const;

    std::vector<int> listeners_;
    std::vector<std::pair<std::string, Step>> steps_;
    std::size_t stepIndex_ = 0;
    std::vector<std::unique_ptr<Connection>> connections_;
    int current_ = -1;
    std::string lastLine_;
    std::vector<std::string> failures_;
    mutable std::mutex mutex_;
    std::condition_variable finishSignal_;
    bool finishRequested_ = false;
    bool scriptDone_ = false;
    bool finished_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace velomaris
