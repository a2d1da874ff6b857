// Runs the stand-in web services until interrupted, for running the program by
// hand without a network:
//   nimbrel_replay_server [port]
//   NIMBREL_SERVICE_BASE=http://127.0.0.1:<port> nimbrel
#include "replay/ReplayServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 41234;
    if (port < 0 || port > 65535) {
        std::fprintf(stderr, "usage: %s [port]\n", argv[0]);
        return 2;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // before the server's threads start

    nbr::replay::ReplayServer server;
    if (!server.start(port)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("replaying on %s\nNIMBREL_SERVICE_BASE=%s\n", server.base().c_str(), server.base().c_str());
    std::fflush(stdout);
    int sig = 0;
    sigwait(&signals, &sig);
    server.stop();
    return 0;
}
