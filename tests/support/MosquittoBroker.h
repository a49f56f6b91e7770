// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace hz70::test {

// A real Mosquitto broker on a free loopback port, with a configuration and a folder of its own that go
// when it does. Kill() and Start() stop it hard and bring it back on the same port, as a broker crash
// and restart would. `config` holds extra lines for the configuration file; files it names may be put
// in dir() (WritePasswordFile does) before Start().
class MosquittoBroker {
public:
    static constexpr std::chrono::seconds kStartTime{5};

    explicit MosquittoBroker(const std::string& config = "allow_anonymous true\n", bool start = true) {
        std::string pattern = (std::filesystem::temp_directory_path() / "hz70brokerXXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        dir_ = pattern;
        port_ = FreePort();
        // As root the broker would become the user "mosquitto", who may not read this folder.
        const passwd* user = ::getpwuid(::getuid());
        std::ofstream(dir_ / "mosquitto.conf")
            << "listener " << port_ << " 127.0.0.1\n"
            << "user " << (user != nullptr ? user->pw_name : "mosquitto") << '\n'
            << "persistence false\n"
            << "log_dest file " << (dir_ / "mosquitto.log").string() << '\n'
            << config;
        if (start) {
            Start();
        }
    }
    ~MosquittoBroker() {
        Kill();
        if (!dir_.empty()) {
            std::filesystem::remove_all(dir_);
        }
    }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    [[nodiscard]] bool ok() const { return pid_ > 0; }
    [[nodiscard]] int port() const { return port_; }
    [[nodiscard]] const std::filesystem::path& dir() const { return dir_; }

    // Starts the broker and waits (bounded) until it takes connections.
    bool Start() {
        if (port_ <= 0 || pid_ > 0) {
            return pid_ > 0;
        }
        pid_ = Spawn({"mosquitto", "-c", (dir_ / "mosquitto.conf").string()});
        const auto deadline = std::chrono::steady_clock::now() + kStartTime;
        while (pid_ > 0 && !Accepts(port_)) {
            if (std::chrono::steady_clock::now() > deadline || ::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                Kill();
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return pid_ > 0;
    }

    // SIGKILL: no goodbye to the clients, no retained messages kept.
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

    // A password file in dir() with one user, made by mosquitto_passwd; its path, or empty.
    std::string WritePasswordFile(const std::string& user, const std::string& password) const {
        const std::string path = (dir_ / "passwords").string();
        return Run({"mosquitto_passwd", "-b", "-c", path, user, password}) ? path : std::string();
    }

    // Runs a program (openssl, say) to its end, its output in dir(); true when it succeeded.
    bool Run(std::vector<std::string> args) const {
        const pid_t pid = Spawn(std::move(args));
        int status = 0;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    // A child with its output in the broker's folder.
    pid_t Spawn(std::vector<std::string> args) const {
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string output = (dir_ / "output.txt").string();
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    static sockaddr_in Loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    static int FreePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        socklen_t length = sizeof address;
        int port = -1;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port = ntohs(address.sin_port);
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return port;
    }

    static bool Accepts(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(port);
        const bool accepted =
            fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return accepted;
    }

    std::filesystem::path dir_;
    int port_ = -1;
    pid_t pid_ = -1;
};

} // namespace hz70::test
