#include "engine/startup.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>

#include "engine/engine_main.h"
#include "engine/engine_stop.h"
#include "link/exchange.h"
#include "link/flat_layer.h"
#include "platform/text_units.h"

namespace {

// The start-up record, filled once from the command line.
struct StartupRecord {
    std::string program_name;
    bool v4 = false;
    bool connect = false;
    bool standalone = false;
    char host[192] = {0};
    int32_t port = 0;
};

StartupRecord START;

bool is_option(const char* arg, const char* word) { return strcasecmp(arg, word) == 0; }

// A port is a decimal number (as atoi reads it) that is not zero.
bool parse_port(const char* text, int32_t& port) {
    const long v = std::strtol(text, nullptr, 10);
    if (v == 0) return false;
    port = static_cast<int32_t>(static_cast<uint32_t>(v) % 65536u);
    return true;
}

void flush_all() {
    console_flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

// The front end answers -999 to our -999; anything else is discarded.
// A link that closes ends the wait.
void closing_handshake(Exchange& link) {
    link.PutInt(-999);
    link.Send();
    while (!link.Closed()) {
        if (!link.Receive(true)) continue;
        if (link.GetInt() == -999) break;
    }
}

}  // namespace

void SET_LOCALE_ARG(int argc, char** argv) {
    std::printf("Current locale = %s\n", std::setlocale(LC_ALL, nullptr));
    std::string name;
    for (int k = 1; k < argc; ++k) {
        if (argv[k][0] != '\0' && std::strncmp(argv[k], "locale=", 7) == 0) {
            name.assign(argv[k] + 7);
            if (name.size() > 99) name.resize(99);
            break;
        }
    }
    if (name.empty()) return;
    std::printf("Requested locale = %s\n", name.c_str());
    if (std::setlocale(LC_ALL, name.c_str()) != nullptr)
        std::printf("Current locale = %s\n", std::setlocale(LC_ALL, nullptr));
    else
        std::fprintf(stderr, "Warning: Unable to change the locale.\n");
}

int32_t START_STANDALONE() {
    try {
        ENGINE_MAIN(START.v4, false, START.host, START.port);
    } catch (const StandaloneAbort& stop) {
        close_all_units();
        return stop.status;
    }
    return 0;
}

int32_t START_CONNECTED(int argc, char** argv) {
    SET_LOCALE_ARG(argc, argv);
    int32_t status = 0;
    std::unique_ptr<Exchange> link;
    if (START.connect) {
        link = std::make_unique<Exchange>();
        if (!link->Connect(START.host, START.port)) {
            const int err = errno;
            std::fprintf(stderr, "%s: %s\n", START.program_name.c_str(), std::strerror(err));
            std::fprintf(stderr, "Failed to connect to %s:%hu\n", START.host, static_cast<unsigned short>(START.port));
            link.reset();
            status = 1;
        }
    }
    set_front_end(link.get());
    if (status == 0) {
        try {
            ENGINE_MAIN(START.v4, START.connect, START.host, START.port);
        } catch (const FatalCatalogMessage& stop) {
            status = stop.status;
        } catch (const FrontEndLost& stop) {
            status = stop.status;
        }
    }
    flush_all();
    if (link) closing_handshake(*link);
    set_front_end(nullptr);
    link.reset();
    close_all_units();
    return status;
}

int32_t zarik_main(int argc, char** argv) {
    START = StartupRecord{};
    START.program_name = argc > 0 ? argv[0] : "zarik";
    int k = 1;
    if (argc > 1 && is_option(argv[1], "-v4")) {
        START.v4 = true;
        k = 2;
    }
    if (k < argc && is_option(argv[k], "-v3")) {
        START.v4 = false;
        ++k;
    }
    if (k < argc && is_option(argv[k], "-v2")) {
        START.v4 = false;
        ++k;
    }
    if (k < argc && is_option(argv[k], "-startup:alone")) {
        START.standalone = true;
        ++k;
    }
    int32_t status = 0;
    int32_t port = 0;
    if (k + 1 < argc && parse_port(argv[k + 1], port)) {
        // Longer host names are cut to the field.
        std::snprintf(START.host, sizeof START.host, "%s", argv[k]);
        START.port = port;
        START.connect = true;
        if (START.v4)
            status = START_CONNECTED(argc, argv);
        else
            std::printf("%s exiting. Incompatible ZARIK library. ", START.program_name.c_str());
    } else if (START.standalone) {
        status = START_STANDALONE();
    }
    console_flush();
    if (START.v4) std::printf("%s exiting.  Status code = %d\n", START.program_name.c_str(), status);
    flush_all();
    return status;
}
