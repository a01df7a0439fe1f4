// The gamehost-sandbox program as scripts/run drives it: it names its
// servers, then says why it stops; and its usage, as a newcomer reads it.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/testing/LoopbackSockets.h"

#ifdef GAMEHOST_SANDBOX_PROGRAM

namespace {

class SandboxProgram {
public:
    // Its standard input is a pipe this end holds, or the named file.
    explicit SandboxProgram(const char* inputFile = nullptr, std::vector<const char*> arguments = {}) {
        arguments.insert(arguments.begin(), GAMEHOST_SANDBOX_PROGRAM);
        arguments.push_back(nullptr);
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("no pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(inputFile ? ::open(inputFile, O_RDONLY) : in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(in[0]);
            ::close(in[1]);
            ::close(out[0]);
            ::close(out[1]);
            ::execv(GAMEHOST_SANDBOX_PROGRAM, const_cast<char* const*>(arguments.data()));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~SandboxProgram() {
        closeInput();
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    // The next whole line of its output; empty at its end. The poll's limit
    // only keeps a broken program from hanging the test.
    std::string line() {
        while (true) {
            if (auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            pollfd ready{output_, POLLIN, 0};
            if (::poll(&ready, 1, 20000) <= 0) return {};
            char chunk[512];
            ssize_t n = ::read(output_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // The lines up to its end, and how it ended.
    std::vector<std::string> rest(int& status) {
        std::vector<std::string> lines;
        for (std::string next = line(); !next.empty(); next = line()) lines.push_back(next);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return lines;
    }

    void closeInput() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }
    void signal(int number) { ::kill(pid_, number); }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
};

std::string stopLine(void (*stop)(SandboxProgram&), const char* inputFile = nullptr) {
    SandboxProgram program(inputFile);
    for (const char* server :
         {"sandbox: page ", "sandbox: platform ", "sandbox: game ", "sandbox: channel ", "sandbox: activity "}) {
        std::string line = program.line();
        EXPECT_EQ(line.rfind(server, 0), 0u) << line;
    }
    // Input it does not watch is said to be so, with how to stop it.
    if (inputFile) {
        EXPECT_EQ(program.line(), "sandbox: serving until interrupted (Ctrl-C)");
    }
    stop(program);
    int status = -1;
    auto lines = program.rest(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return lines.empty() ? std::string() : lines.back();
}

TEST(SandboxProgram, SaysWhyItStops) {
    EXPECT_EQ(stopLine([](SandboxProgram& p) { p.closeInput(); }), "sandbox: stopping (standard input closed)");
    EXPECT_EQ(stopLine([](SandboxProgram& p) { p.signal(SIGINT); }), "sandbox: stopping (interrupt)");
    EXPECT_EQ(stopLine([](SandboxProgram& p) { p.signal(SIGTERM); }), "sandbox: stopping (terminate)");
}

TEST(SandboxProgram, InputThatIsNotAPipeIsLeftAlone) {
    // Started by hand with its input elsewhere (a file here; a terminal it
    // must not read from the background), it serves until it is stopped.
    EXPECT_EQ(stopLine([](SandboxProgram& p) { p.signal(SIGTERM); }, "/dev/null"), "sandbox: stopping (terminate)");
}

TEST(SandboxProgram, UsageNamesEveryServerItStarts) {
    std::string usage;
    FILE* help = ::popen(GAMEHOST_SANDBOX_PROGRAM " --help", "r");
    ASSERT_NE(help, nullptr);
    char chunk[512];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, help)) > 0;) usage.append(chunk, n);
    EXPECT_EQ(::pclose(help), 0);
    // Folded lines join with their indent; one space is enough to search in.
    std::string flat;
    for (char c : usage) {
        if (c == '\n') c = ' ';
        if (c == ' ' && !flat.empty() && flat.back() == ' ') continue;
        flat += c;
    }
    for (const char* server : {"game page", "platform server", "game server", "channel's API server", "activity pages"})
        EXPECT_NE(flat.find(server), std::string::npos) << server << " in: " << usage;
    // Each server's port can be chosen, so the shipped configuration's can.
    for (const char* option : {"--page-port", "--platform-port", "--game-port", "--channel-port", "--activity-port"})
        EXPECT_NE(flat.find(option), std::string::npos) << option << " in: " << usage;
}

// The first line it writes on its standard error for `arguments`, and its status.
std::string firstErrorLine(const std::string& arguments, int& status) {
    std::string said;
    FILE* run = ::popen((GAMEHOST_SANDBOX_PROGRAM " " + arguments + " 2>&1 >/dev/null").c_str(), "r");
    if (!run) return "(no popen)";
    char chunk[512];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, run)) > 0;) said.append(chunk, n);
    status = ::pclose(run);
    return said.substr(0, said.find('\n'));
}

TEST(SandboxProgram, AWrongOptionIsNamedForWhatIsWrong) {
    int status = -1;
    EXPECT_EQ(firstErrorLine("--bogus", status), "gamehost-sandbox: unknown option --bogus");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_EQ(firstErrorLine("--bogus 8080", status), "gamehost-sandbox: unknown option --bogus");
    EXPECT_EQ(firstErrorLine("--page-port", status), "gamehost-sandbox: --page-port needs a value");
    EXPECT_EQ(firstErrorLine("--game-port 0x50", status), "gamehost-sandbox: --game-port: not a port: 0x50");
    for (const char* delay : {"2-1", "-1", "1-", "61", "x", "1-2-3"})
        EXPECT_EQ(firstErrorLine(std::string("--game-delay ") + delay, status),
                  std::string("gamehost-sandbox: --game-delay: not seconds from 0 to 60, or a range of them: ") + delay);
    EXPECT_EQ(firstErrorLine("--delay-seed -3", status),
              "gamehost-sandbox: --delay-seed: not a number from 0 to 4294967295: -3");
}

TEST(SandboxProgram, LateRepliesAreSaidWithTheSeedThatRepeatsThem) {
    SandboxProgram program(nullptr, {"--channel-delay", "1-2", "--game-delay", "0.5", "--delay-seed", "42"});
    for (int server = 0; server < 5; ++server) program.line();
    EXPECT_EQ(program.line(), "sandbox: every reply of the game server goes out 0.5 s late (--delay-seed 42)");
    EXPECT_EQ(program.line(), "sandbox: every reply of the channel's API server goes out 1 to 2 s late (--delay-seed 42)");
}

// The road gives itself the time a late server's reply may take: each of
// that server's requests says it; the others' say nothing more.
TEST(SandboxProgram, ALateServersRequestsSayHowLateItsReplyMayGoOut) {
    SandboxProgram program(nullptr, {"--game-delay", "0-0.25", "--delay-seed", "7"});
    std::string game, platform;
    for (int server = 0; server < 5; ++server) {
        std::string line = program.line();
        if (line.rfind("sandbox: game ", 0) == 0) game = line.substr(std::string("sandbox: game ").size());
        if (line.rfind("sandbox: platform ", 0) == 0) platform = line.substr(std::string("sandbox: platform ").size());
    }
    EXPECT_EQ(program.line(), "sandbox: every reply of the game server goes out 0 to 0.25 s late (--delay-seed 7)");
    auto get = [](const std::string& origin, const std::string& path) {
        const int port = std::stoi(origin.substr(origin.rfind(':') + 1));
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        ASSERT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        char reply[256];
        while (::read(fd, reply, sizeof reply) > 0) {
        }
        ::close(fd);
    };
    get(game, "/menu/index");
    EXPECT_EQ(program.line(), "sandbox: GET /menu/index (up to 0.25 s late)");
    get(platform, "/init");
    EXPECT_EQ(program.line(), "sandbox: GET /init");
}

TEST(SandboxProgram, APortInUseIsNamedWithWhatHoldsIt) {
    // The test holds a port the system picked, as another program would.
    const testing::sockets::Listener holder = testing::sockets::listenOnLoopback("the port's holder");
    const std::string port = std::to_string(holder.port);
    int status = -1;
    EXPECT_EQ(firstErrorLine("--game-port " + port, status), "gamehost-sandbox: cannot listen on 127.0.0.1:" + port +
                                                                 ": port " + port +
                                                                 " is in use: another program holds it");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    for (int fd : {holder.socket, holder.wake[0], holder.wake[1]}) ::close(fd);
}

}  // namespace

#endif
