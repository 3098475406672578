#include "polling/support/dovecot_server.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace pigeonet::testing {

namespace {

#ifndef _WIN32
std::string Script() {
    return "bash '" + SourceDir() + "/tools/dovecot/dovecot.sh'";
}

// Runs a shell command; its standard output, and whether it exited with 0.
bool RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (output != nullptr) {
            output->append(buffer, n);
        }
    }
    return pclose(pipe) == 0;
}
#endif

}  // namespace

std::string SourceDir() {
    if (const char* dir = std::getenv("PIGEONET_SOURCE_DIR")) {
        return dir;
    }
    std::string file = __FILE__;  // <root>/tests/polling/support/dovecot_server.cpp
    for (int i = 0; i < 4; ++i) {
        file = file.substr(0, file.find_last_of('/'));
    }
    return file;
}

bool DovecotServer::Start() {
#ifdef _WIN32
    why_not_ = "Dovecot runs beside Wine, not inside it";
    return false;
#else
    if (!RunCommand("command -v dovecot >/dev/null && test \"$(id -u)\" = 0", nullptr)) {
        why_not_ = "needs root and dovecot-pop3d";
        return false;
    }
    std::string output;
    if (!RunCommand(Script() + " start " + options_ + " " + accounts_, &output)) {
        why_not_ = "dovecot.sh start failed";
        return false;
    }
    std::istringstream lines(output);
    std::string line;
    const auto port_of = [&line](const char* key, std::uint16_t& port) {
        const std::string prefix = std::string(key) + "=";
        if (line.rfind(prefix, 0) == 0) {
            port = static_cast<std::uint16_t>(std::stoi(line.substr(prefix.size())));
        }
    };
    while (std::getline(lines, line)) {
        port_of("port", port_);
        port_of("imap_port", imap_port_);
        port_of("pop3s_port", pop3s_port_);
        port_of("imaps_port", imaps_port_);
        if (line.rfind("pid=", 0) == 0) {
            pid_ = std::stol(line.substr(4));
        } else if (line.rfind("dir=", 0) == 0) {
            folder_ = line.substr(4);
        }
    }
    return port_ != 0 && pid_ != 0 && !folder_.empty();
#endif
}

void DovecotServer::Stop() {
#ifndef _WIN32
    if (pid_ != 0) {
        RunCommand(Script() + " stop " + std::to_string(pid_) + " '" + folder_ + "'", nullptr);
        pid_ = 0;
    }
#endif
}

void DovecotServer::Deliver(const std::string& user, int count) {
#ifndef _WIN32
    RunCommand(Script() + " deliver '" + folder_ + "' '" + user + "' " + std::to_string(count), nullptr);
#else
    (void)user;
    (void)count;
#endif
}

void DovecotServer::MarkSeen(const std::string& user, int count) {
#ifndef _WIN32
    RunCommand(Script() + " seen '" + folder_ + "' '" + user + "' " + std::to_string(count), nullptr);
#else
    (void)user;
    (void)count;
#endif
}

std::string DovecotServer::Log() const {
    std::ifstream file(folder_ + "/dovecot.log", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TestCertificate::~TestCertificate() {
#ifndef _WIN32
    if (folder_.rfind("/tmp/pigeonet-cert.", 0) == 0) {
        RunCommand("rm -rf '" + folder_ + "'", nullptr);
    }
#endif
}

bool TestCertificate::Make() {
#ifdef _WIN32
    return false;
#else
    std::string output;
    if (!RunCommand("mktemp -d /tmp/pigeonet-cert.XXXXXX", &output) || output.empty()) {
        return false;
    }
    folder_ = output.substr(0, output.find('\n'));
    return RunCommand(Script() + " certificate '" + folder_ + "'", nullptr);
#endif
}

std::string TestCertificate::cert_and_key() const {
    return "'" + folder_ + "/localhost.pem' '" + folder_ + "/localhost.key'";
}

}  // namespace pigeonet::testing
