#pragma once
// Programs the tests start: python3 (with openpyxl and xlsxwriter), soffice,
// unzip. scripts/install-deps.sh installs them all, so a missing one fails the
// test that needs it, naming it, rather than skipping or leaving an exit status.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace test_clients {

// A program on the path, or a module that Debian's python3 (the one the
// client scripts run with) imports.
inline bool installed(const std::string& client) {
    static std::mutex lock;
    static std::map<std::string, bool> known;
    const std::lock_guard<std::mutex> hold(lock);
    if (const auto it = known.find(client); it != known.end()) return it->second;
    const std::string probe = client == "openpyxl" || client == "xlsxwriter"
                                  ? "/usr/bin/python3 -c 'import " + client + "'"
                                  : "command -v '" + client + "'";
    return known[client] = std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string missing_text(const std::string& client) {
    return "this test needs " + client + ", which is not installed (scripts/install-deps.sh installs it)";
}

// True, or a failure of the test naming the missing client.
inline bool found(const std::string& client) {
    if (installed(client)) return true;
    ADD_FAILURE() << missing_text(client);
    return false;
}

// The first client a Python script needs that is missing: python3 itself, or
// a module the script names; empty when all are there.
inline std::string missing_for_script(const std::string& script) {
    for (const char* client : {"python3", "openpyxl", "xlsxwriter"})
        if ((client == std::string("python3") || script.find(client) != std::string::npos) && !installed(client))
            return client;
    return {};
}

} // namespace test_clients

// Fails the test, naming the client, when it is missing.
#define REQUIRE_CLIENT(client)                                                              \
    do {                                                                                    \
        if (!test_clients::installed(client)) FAIL() << test_clients::missing_text(client); \
    } while (false)
