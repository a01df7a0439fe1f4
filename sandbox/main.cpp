// gamehost-sandbox: the five stand-in servers on 127.0.0.1, for running the
// app by hand or from scripts/run. Prints one line per server, then one line
// per request, and ends on SIGINT, SIGTERM or when its standard input, a pipe,
// closes.

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>

#include "sandbox/ChannelServer.h"
#include "sandbox/ActivityPageServer.h"
#include "sandbox/GamePageServer.h"
#include "sandbox/GameServer.h"
#include "sandbox/PlatformServer.h"

namespace {

constexpr const char* kUsage =
    "usage: gamehost-sandbox [--page-port N] [--platform-port N] [--game-port N] [--channel-port N]\n"
    "                        [--activity-port N] [--notice TEXT] [--notice-type 1|2|web]\n"
    "                        [--game-delay S[-S]] [--channel-delay S[-S]] [--delay-seed N]\n"
    "  Serves the sample game page, the platform server, the game server, the channel's API\n"
    "  server and the activity pages on 127.0.0.1 (ports the system picks unless given) and\n"
    "  prints each request they get.\n"
    "  --notice TEXT       the announcement the platform server's start-up reply carries\n"
    "  --notice-type TYPE  1: plain text (the default); 2: the text as one link to the activity\n"
    "                      server's notice page; web: that page itself\n"
    "  --game-delay S[-S]     every reply of the game server (--channel-delay: of the channel's\n"
    "  --channel-delay S[-S]  API server) goes out that many seconds late, a time drawn for each\n"
    "                         from the range, as a slow server or network would send it; its\n"
    "                         requests' lines end \"(up to S s late)\", the range's end\n"
    "  --delay-seed N         the draws' sequence (one the sandbox picks and prints unless given)\n"
    "  Ends on SIGINT or SIGTERM, or when standard input closes if it is a pipe (a terminal's\n"
    "  is not read, so the sandbox may run in a terminal's background).\n";

std::mutex outputLock;

void say(const std::string& line) {
    std::lock_guard guard(outputLock);
    std::fputs(("sandbox: " + line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

struct Options {
    int pagePort = 0;
    int platformPort = 0;
    int gamePort = 0;
    int channelPort = 0;
    int activityPort = 0;
    std::optional<std::string> notice;
    std::string noticeType = "1";
    // Seconds each reply waits: the fewest and the most.
    std::pair<double, double> gameDelay{0, 0};
    std::pair<double, double> channelDelay{0, 0};
    std::optional<uint32_t> delaySeed;
};

// "S" or "S-S", seconds from 0 to 60, the first no more than the second.
bool parseDelay(const std::string& text, std::pair<double, double>& delay) {
    auto number = [](const std::string& part, double& value) {
        char* end = nullptr;
        value = std::strtod(part.c_str(), &end);
        return !part.empty() && std::isdigit(static_cast<unsigned char>(part[0])) && *end == '\0' && value <= 60;
    };
    const size_t dash = text.find('-');
    if (!number(text.substr(0, dash), delay.first)) return false;
    if (dash == std::string::npos) delay.second = delay.first;
    else if (!number(text.substr(dash + 1), delay.second)) return false;
    return delay.first <= delay.second;
}

bool parsePort(const char* text, int& port) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 65535) return false;
    port = static_cast<int>(value);
    return true;
}

// Empty when the arguments are fine, else what is wrong with them.
std::string parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") return "help";
        int* port = name == "--page-port"       ? &options.pagePort
                    : name == "--platform-port" ? &options.platformPort
                    : name == "--game-port"     ? &options.gamePort
                    : name == "--channel-port"  ? &options.channelPort
                    : name == "--activity-port" ? &options.activityPort
                                                : nullptr;
        auto* delay = name == "--game-delay"      ? &options.gameDelay
                      : name == "--channel-delay" ? &options.channelDelay
                                                  : nullptr;
        if (!port && !delay && name != "--notice" && name != "--notice-type" && name != "--delay-seed")
            return "unknown option " + name;
        if (i + 1 >= argc) return name + " needs a value";
        const char* value = argv[++i];
        if (port) {
            if (!parsePort(value, *port)) return name + ": not a port: " + value;
        } else if (delay) {
            if (!parseDelay(value, *delay)) return name + ": not seconds from 0 to 60, or a range of them: " + value;
        } else if (name == "--delay-seed") {
            char* end = nullptr;
            const unsigned long seed = std::strtoul(value, &end, 10);
            if (!std::isdigit(static_cast<unsigned char>(*value)) || *end != '\0' || seed > UINT32_MAX)
                return name + ": not a number from 0 to " + std::to_string(UINT32_MAX) + ": " + value;
            options.delaySeed = static_cast<uint32_t>(seed);
        } else if (name == "--notice") {
            options.notice = value;
        } else {
            options.noticeType = value;
            if (options.noticeType != "1" && options.noticeType != "2" && options.noticeType != "web")
                return "--notice-type: not 1, 2 or web: " + options.noticeType;
        }
    }
    return {};
}

// "1 to 2 s", "1.5 s".
std::string seconds(const std::pair<double, double>& delay) {
    auto text = [](double value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", value);
        return std::string(buffer);
    };
    return delay.first == delay.second ? text(delay.first) + " s"
                                       : text(delay.first) + " to " + text(delay.second) + " s";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (std::string problem = parse(argc, argv, options); !problem.empty()) {
        if (problem == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "gamehost-sandbox: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }

    // Blocked before any thread starts, so every thread inherits the mask
    // and the signals wait for sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<sandbox::GamePageServer> page;
    std::unique_ptr<sandbox::PlatformServer> platform;
    std::unique_ptr<sandbox::GameServer> game;
    std::unique_ptr<sandbox::ChannelServer> channel;
    std::unique_ptr<sandbox::ActivityPageServer> activity;
    try {
        page = std::make_unique<sandbox::GamePageServer>(options.pagePort);
        platform = std::make_unique<sandbox::PlatformServer>(options.platformPort);
        game = std::make_unique<sandbox::GameServer>(options.gamePort);
        channel = std::make_unique<sandbox::ChannelServer>(options.channelPort);
        activity = std::make_unique<sandbox::ActivityPageServer>(options.activityPort);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "gamehost-sandbox: %s\n", error.what());
        return 1;
    }
    if (options.notice) platform->setNotice(sandbox::noticeOf(*options.notice, options.noticeType, activity->noticeURL()));
    // A late server's requests say how late its reply may go out (the road
    // gives itself that time for each).
    auto lateBy = [](const std::pair<double, double>& delay) {
        return delay.second > 0 ? " (up to " + seconds({delay.second, delay.second}) + " late)" : std::string();
    };
    page->http().setTrace(say);
    platform->http().setTrace(say);
    game->http().setTrace([late = lateBy(options.gameDelay)](const std::string& line) { say(line + late); });
    // Channel bodies are gzipped and carry passwords: the method and path say enough.
    channel->http().setTrace([late = lateBy(options.channelDelay)](const std::string& line) {
        say(line.substr(0, line.find(' ', line.find(' ') + 1)) + late);
    });
    activity->http().setTrace(say);

    say("page " + page->pageURL());
    say("platform " + platform->http().origin());
    say("game " + game->http().origin());
    say("channel " + channel->base());
    say("activity " + activity->http().origin());
    // Late replies, each server's in a sequence of its own from the one seed.
    const uint32_t seed = options.delaySeed.value_or(std::random_device{}());
    struct Late {
        const char* server;
        std::pair<double, double> delay;
        sandbox::DelayedReplies& replies;
    };
    const Late lates[] = {{"game server", options.gameDelay, game->delays()},
                          {"channel's API server", options.channelDelay, channel->delays()}};
    for (uint32_t i = 0; i < std::size(lates); ++i) {
        if (lates[i].delay.second <= 0) continue;
        lates[i].replies.setDelays(lates[i].delay.first, lates[i].delay.second, seed + i);
        say("every reply of the " + std::string(lates[i].server) + " goes out " + seconds(lates[i].delay) +
            " late (--delay-seed " + std::to_string(seed) + ")");
    }

    // A closed input pipe means whoever started us has gone; it stops us
    // through the same wait as the signals, and says so. Any other input (a
    // terminal, which would stop a background job that reads it, or a file)
    // is left alone.
    static std::atomic<bool> inputClosed{false};
    struct stat input {};
    if (::fstat(STDIN_FILENO, &input) == 0 && (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode))) {
        std::thread([] {
            char buffer[256];
            while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
            }
            inputClosed = true;
            ::kill(::getpid(), SIGTERM);
        }).detach();
    } else {
        say("serving until interrupted (Ctrl-C)");
    }

    int received = 0;
    sigwait(&stopSignals, &received);
    const char* reason = received == SIGINT ? "interrupt" : inputClosed ? "standard input closed" : "terminate";
    say(std::string("stopping (") + reason + ")");
    activity.reset();
    channel.reset();
    game.reset();
    platform.reset();
    page.reset();
    return 0;
}
