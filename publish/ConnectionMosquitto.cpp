// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/CommandMessages.h"
#include "publish/Connection.h"
#include "publish/OutgoingQueue.h"
#include "publish/ZoneMessages.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>
#include <poll.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace hz70::publish {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kKeepAliveSeconds = 30;
constexpr Clock::duration kFirstRetry = 1s;
constexpr Clock::duration kLastRetry = 30s;
// Messages handed to the library and not yet acknowledged; the rest wait in our own queue, where the
// bound applies.
constexpr std::size_t kInFlightLimit = 32;
// Keep-alive and retries need the library's attention now and then even when nothing happens.
constexpr Clock::duration kIdleWait = 1s;
// While connecting, how often a stop is looked for.
constexpr Clock::duration kHandshakeStep = 20ms;
// On the way out: for "offline" to be acknowledged, and for the whole of it.
constexpr Clock::duration kGoodbyeTime = 600ms;
constexpr Clock::duration kStopTime = 1s;

// Results waiting for the broker; beyond it the oldest go. A flood of commands is refused as it is
// read, hundreds in one read of the socket, before any result goes out: room for a whole queue's worth,
// so that a flood's every command is still answered.
constexpr std::size_t kReplyLimit = Publisher::kQueueLimit;
// The user property a broker may put the publisher's user name in.
constexpr std::string_view kUserProperty = "username";

constexpr std::string_view kOnline = "online";
constexpr std::string_view kOffline = "offline";

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

int Milliseconds(Clock::duration duration) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, 60'000));
}

std::string HostAndPort(const BrokerSettings& settings) {
    const bool ipv6 = settings.host.find(':') != std::string::npos;
    return (ipv6 ? '[' + settings.host + ']' : settings.host) + ':' + std::to_string(settings.port);
}

// What a CONNACK return code of MQTT 3.1.1, or reason code of MQTT 5, means.
std::string RefusalText(int code) {
    switch (code) {
    case 1:
    case MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION:
        return "the protocol version is not accepted";
    case 2:
    case MQTT_RC_CLIENTID_NOT_VALID:
        return "the client id is rejected";
    case 3:
    case MQTT_RC_SERVER_UNAVAILABLE:
        return "the server is unavailable";
    case 4:
    case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
        return "bad user name or password";
    case 5:
    case MQTT_RC_NOT_AUTHORIZED:
        return "not authorised";
    default:
        return "refusal code " + std::to_string(code);
    }
}

// Why a library call failed; `error` is errno as the call left it.
std::string FailureText(int result, int error) {
    if (result == MOSQ_ERR_SUCCESS) {
        return "the connection was closed";
    }
    if (result == MOSQ_ERR_ERRNO && error != 0) {
        return std::generic_category().message(error);
    }
    return mosquitto_strerror(result);
}

// Why the TLS files cannot serve, in words, or empty.
std::string TlsFileProblem(const BrokerSettings& settings) {
    if (settings.certFile.empty() != settings.keyFile.empty()) {
        return "MQTT: a client certificate needs its key file, and a key its certificate";
    }
    for (const std::string* path : {&settings.caFile, &settings.certFile, &settings.keyFile}) {
        if (!path->empty() && !std::ifstream(*path).good()) {
            return "MQTT: cannot read the TLS file " + *path;
        }
    }
    return {};
}

// The command as delivered, with what its MQTT 5 properties say of where to answer and who sent it.
IncomingCommand ReadCommand(const mosquitto_message& message, const mosquitto_property* properties) {
    IncomingCommand command;
    command.topic = message.topic;
    if (message.payloadlen > 0) {
        command.payload.assign(static_cast<const char*>(message.payload),
                               static_cast<std::size_t>(message.payloadlen));
    }
    command.retained = message.retain;
    command.arrived = std::chrono::system_clock::now();
    void* data = nullptr;
    std::uint16_t length = 0;
    if (mosquitto_property_read_binary(properties, MQTT_PROP_CORRELATION_DATA, &data, &length, false)) {
        command.correlation.assign(static_cast<const char*>(data), length);
        std::free(data);
    }
    char* text = nullptr;
    if (mosquitto_property_read_string(properties, MQTT_PROP_RESPONSE_TOPIC, &text, false)) {
        command.responseTopic = text;
        std::free(text);
    }
    char* name = nullptr;
    char* value = nullptr;
    for (auto* pair =
             mosquitto_property_read_string_pair(properties, MQTT_PROP_USER_PROPERTY, &name, &value, false);
         pair != nullptr;
         pair = mosquitto_property_read_string_pair(pair, MQTT_PROP_USER_PROPERTY, &name, &value, true)) {
        if (name == kUserProperty && command.origin.empty()) {
            command.origin = value;
        }
        std::free(name);
        std::free(value);
    }
    if (command.origin.empty()) {
        command.origin = command.topic;
    }
    return command;
}

// A pipe whose one end wakes the network thread's poll().
class WakePipe {
public:
    WakePipe() {
        if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
        }
    }
    ~WakePipe() {
        for (const int fd : fds_) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    [[nodiscard]] int readEnd() const { return fds_[0]; }
    void signal() const {
        const char byte = 1;
        [[maybe_unused]] const auto written = write(fds_[1], &byte, 1); // a full pipe wakes it as well
    }
    void drain() const {
        char bytes[64];
        while (read(fds_[0], bytes, sizeof bytes) > 0) {
        }
    }

private:
    int fds_[2];
};

// One libmosquitto client, driven through poll() by a thread of its own, so that a caller's message, a
// stop and the socket each wake it at once, and a retry's wait ends when the publisher does. Only that
// thread calls the library (the callbacks run inside it too); other threads only touch the queue and
// the status, under the mutex.
class Link {
public:
    explicit Link(BrokerSettings settings);
    ~Link() { mosquitto_destroy(client_); }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    void enqueue(std::vector<Message> kept, std::optional<Message> state);
    [[nodiscard]] BrokerStatus status() const;
    [[nodiscard]] std::vector<IncomingCommand> takeCommands(std::size_t most);
    void reply(Message message, std::string correlation);

    // The network thread's body: until a stop, connects, publishes, and retries with back-off.
    void run();
    void requestStop();
    // True when run() has ended by `deadline`.
    [[nodiscard]] bool waitFinished(Clock::time_point deadline);

private:
    static void OnConnect(mosquitto*, void* self, int code) { static_cast<Link*>(self)->connected(code); }
    static void OnDisconnect(mosquitto*, void* self, int result) {
        static_cast<Link*>(self)->disconnected(result, errno);
    }
    static void OnPublish(mosquitto*, void* self, int messageId) {
        static_cast<Link*>(self)->acknowledged(messageId);
    }
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                          const mosquitto_property* properties) {
        static_cast<Link*>(self)->arrived(ReadCommand(*message, properties));
    }
    void connected(int code);
    void arrived(IncomingCommand command);
    void disconnected(int result, int error);
    void acknowledged(int messageId);
    void connectFailed(int result, int error);

    [[nodiscard]] bool stopRequested() const;
    [[nodiscard]] bool online() const;
    [[nodiscard]] bool hasSocket() const { return mosquitto_socket(client_) >= 0; }
    bool startAttempt();
    bool configureTls();
    void failAttempt(std::string reason);
    void pump();
    void pumpReplies(std::unique_lock<std::mutex>& lock);
    void service(Clock::duration wait);
    void sayGoodbye();

    const BrokerSettings settings_;
    const std::string broker_;
    const std::string statusTopic_;
    const std::string commandFilter_; // empty when commands are off
    mosquitto* client_;
    WakePipe wake_;

    mutable std::mutex mutex_;
    std::condition_variable finishedChanged_;
    OutgoingQueue queue_{Publisher::kQueueLimit};
    BrokerStatus status_;
    std::map<int, std::uint64_t> sending_; // the library's message id → the queue's
    struct Reply {
        Message message;
        std::string correlation;
    };
    std::deque<Reply> replies_;
    std::deque<IncomingCommand> inbox_;
    bool stopping_ = false;
    bool finished_ = false;

    // The network thread's own.
    bool refused_ = false;
    std::pair<int, int> handshakeFailure_{MOSQ_ERR_SUCCESS, 0}; // as the callback saw it: result, errno
    int offlineId_ = -1;
    bool offlineAcknowledged_ = false;
    Clock::duration retryDelay_ = kFirstRetry;
    Clock::time_point nextAttempt_ = Clock::now();
};

Link::Link(BrokerSettings settings)
    : settings_(std::move(settings)), broker_(HostAndPort(settings_)),
      statusTopic_(StatusTopic(TopicPrefix(settings_))),
      commandFilter_(settings_.commands ? TopicPrefix(settings_) + "/zone/+/set/+" : std::string()) {
    InitLibrary();
    const std::string clientId = "hz70-" + settings_.system;
    client_ = mosquitto_new(clientId.c_str(), true, this);
    status_.state = BrokerState::Connecting;
    status_.broker = broker_;
    if (client_ == nullptr) {
        status_.state = BrokerState::Retrying;
        status_.reason = "MQTT: cannot create a client: out of memory";
        return;
    }
    mosquitto_connect_callback_set(client_, &Link::OnConnect);
    mosquitto_disconnect_callback_set(client_, &Link::OnDisconnect);
    mosquitto_publish_callback_set(client_, &Link::OnPublish);
    if (!commandFilter_.empty()) {
        // For the requests' response topic and correlation data.
        mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_message_v5_callback_set(client_, &Link::OnMessage);
    }
    mosquitto_will_set(client_, statusTopic_.c_str(), static_cast<int>(kOffline.size()), kOffline.data(), 1,
                       true);
    if (!settings_.user.empty()) {
        mosquitto_username_pw_set(client_, settings_.user.c_str(),
                                  settings_.password.empty() ? nullptr : settings_.password.c_str());
    }
}

void Link::enqueue(std::vector<Message> kept, std::optional<Message> state) {
    {
        const std::lock_guard lock(mutex_);
        for (Message& message : kept) {
            queue_.keep(std::move(message));
        }
        if (state) {
            queue_.pushState(std::move(*state));
        }
    }
    wake_.signal();
}

std::vector<IncomingCommand> Link::takeCommands(std::size_t most) {
    const std::lock_guard lock(mutex_);
    const auto taken = inbox_.begin() + static_cast<std::ptrdiff_t>(std::min(most, inbox_.size()));
    std::vector<IncomingCommand> commands(std::make_move_iterator(inbox_.begin()),
                                          std::make_move_iterator(taken));
    inbox_.erase(inbox_.begin(), taken);
    return commands;
}

void Link::reply(Message message, std::string correlation) {
    {
        const std::lock_guard lock(mutex_);
        if (replies_.size() == kReplyLimit) {
            replies_.pop_front();
        }
        replies_.push_back(Reply{std::move(message), std::move(correlation)});
    }
    wake_.signal();
}

BrokerStatus Link::status() const {
    const std::lock_guard lock(mutex_);
    BrokerStatus status = status_;
    status.queued = queue_.queuedStates();
    status.dropped = queue_.droppedStates();
    return status;
}

void Link::requestStop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.signal();
}

bool Link::waitFinished(Clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return finishedChanged_.wait_until(lock, deadline, [this] { return finished_; });
}

bool Link::stopRequested() const {
    const std::lock_guard lock(mutex_);
    return stopping_;
}

bool Link::online() const {
    const std::lock_guard lock(mutex_);
    return status_.state == BrokerState::Connected;
}

void Link::run() {
    while (client_ != nullptr && !stopRequested()) {
        if (!hasSocket()) {
            const auto now = Clock::now();
            if (now < nextAttempt_) {
                service(nextAttempt_ - now);
                continue;
            }
            if (!startAttempt()) {
                continue;
            }
        }
        if (online()) {
            pump();
            service(kIdleWait);
        } else {
            // Until the broker's answer: the library's own loop, which knows when the TCP and TLS
            // handshakes need another step (a poll() on the socket alone can miss one).
            errno = 0;
            const int result = mosquitto_loop(client_, Milliseconds(kHandshakeStep), 1);
            const int error = errno;
            if (!hasSocket()) {
                connectFailed(result, error);
            }
        }
        if (!hasSocket()) {
            nextAttempt_ = Clock::now() + retryDelay_;
            retryDelay_ = std::min(retryDelay_ * 2, kLastRetry);
        }
    }
    if (client_ != nullptr) {
        sayGoodbye();
    }
    const std::lock_guard lock(mutex_);
    finished_ = true;
    finishedChanged_.notify_all();
}

bool Link::configureTls() {
    if (std::string problem = TlsFileProblem(settings_); !problem.empty()) {
        failAttempt(std::move(problem));
        return false;
    }
    const auto file = [](const std::string& path) { return path.empty() ? nullptr : path.c_str(); };
    if (settings_.caFile.empty()) {
        mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    }
    const int result = mosquitto_tls_set(client_, file(settings_.caFile), nullptr, file(settings_.certFile),
                                         file(settings_.keyFile), nullptr);
    if (result != MOSQ_ERR_SUCCESS) {
        failAttempt("MQTT: cannot use the TLS files: " + std::string(mosquitto_strerror(result)));
        return false;
    }
    return true;
}

bool Link::startAttempt() {
    refused_ = false;
    handshakeFailure_ = {MOSQ_ERR_SUCCESS, 0};
    // Without its TLS settings the client would connect in the clear, credentials and all.
    if (settings_.tls && !configureTls()) {
        return false;
    }
    errno = 0;
    const int result =
        mosquitto_connect_async(client_, settings_.host.c_str(), settings_.port, kKeepAliveSeconds);
    const int error = errno;
    if (result != MOSQ_ERR_SUCCESS) {
        failAttempt("MQTT: cannot connect to " + broker_ + ": " + FailureText(result, error));
        return false;
    }
    return true;
}

void Link::failAttempt(std::string reason) {
    {
        const std::lock_guard lock(mutex_);
        status_.state = BrokerState::Retrying;
        status_.reason = std::move(reason);
    }
    nextAttempt_ = Clock::now() + retryDelay_;
    retryDelay_ = std::min(retryDelay_ * 2, kLastRetry);
}

void Link::connected(int code) {
    if (code != 0) {
        refused_ = true;
        const std::lock_guard lock(mutex_);
        status_.state = BrokerState::Retrying;
        status_.reason = "MQTT: broker refused the connection: " + RefusalText(code);
        return;
    }
    retryDelay_ = kFirstRetry;
    mosquitto_publish(client_, nullptr, statusTopic_.c_str(), static_cast<int>(kOnline.size()),
                      kOnline.data(), 1, true);
    if (!commandFilter_.empty()) {
        // Retain-as-published, so that a command sent retained is seen as such (and refused) even when
        // it arrives live, not only when the broker replays it.
        mosquitto_subscribe_v5(client_, nullptr, commandFilter_.c_str(), 1, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED,
                               nullptr);
    }
    const std::lock_guard lock(mutex_);
    status_.state = BrokerState::Connected;
    status_.reason.clear();
    sending_.clear();
    queue_.reconnected();
}

void Link::disconnected(int result, int error) {
    const std::lock_guard lock(mutex_);
    if (status_.state == BrokerState::Connected) {
        status_.state = BrokerState::Retrying;
        status_.reason = "MQTT: lost the connection to " + broker_ + ": " + FailureText(result, error);
    } else {
        handshakeFailure_ = {result, error};
    }
}

void Link::connectFailed(int result, int error) {
    if (refused_) {
        return; // the refusal has said why
    }
    // The library reports some failures (TLS among them) to the callback as no error, and the real one
    // only as the loop's result.
    const auto [cause, causeError] =
        handshakeFailure_.first != MOSQ_ERR_SUCCESS ? handshakeFailure_ : std::pair{result, error};
    const std::lock_guard lock(mutex_);
    status_.state = BrokerState::Retrying;
    status_.reason = "MQTT: cannot connect to " + broker_ + ": " + FailureText(cause, causeError);
}

// Runs on the network thread, inside the library's read.
void Link::arrived(IncomingCommand command) {
    std::unique_lock lock(mutex_);
    if (inbox_.size() < Publisher::kInboxLimit) {
        inbox_.push_back(std::move(command));
        return;
    }
    ++status_.commandsRefused;
    lock.unlock();
    CommandResult result;
    result.reason = kTooManyCommands;
    result.when = std::chrono::system_clock::now();
    const std::string json = CommandResultJson(command, result);
    if (std::string topic = ResultTopic(command.topic); !topic.empty()) {
        reply(Message{std::move(topic), json}, {});
    }
    if (!command.responseTopic.empty()) {
        reply(Message{command.responseTopic, json}, command.correlation);
    }
}

void Link::acknowledged(int messageId) {
    const std::lock_guard lock(mutex_);
    ++status_.published;
    offlineAcknowledged_ = offlineAcknowledged_ || messageId == offlineId_;
    if (const auto sent = sending_.find(messageId); sent != sending_.end()) {
        queue_.acknowledged(sent->second);
        sending_.erase(sent);
    }
}

void Link::pump() {
    std::unique_lock lock(mutex_);
    pumpReplies(lock);
    while (status_.state == BrokerState::Connected && queue_.inFlight() < kInFlightLimit) {
        const auto next = queue_.next();
        if (!next) {
            return;
        }
        lock.unlock();
        int messageId = 0;
        const std::string& payload = next->message.payload;
        const int result = mosquitto_publish(client_, &messageId, next->message.topic.c_str(),
                                             static_cast<int>(payload.size()), payload.data(), 1, true);
        lock.lock();
        if (result == MOSQ_ERR_SUCCESS) {
            sending_[messageId] = next->id;
        } else if (result != MOSQ_ERR_NO_CONN) {
            queue_.acknowledged(next->id); // the broker would never take it (too large, say)
        }
    }
}

// Results go before states: someone is waiting for them.
void Link::pumpReplies(std::unique_lock<std::mutex>& lock) {
    while (status_.state == BrokerState::Connected && !replies_.empty()) {
        Reply next = std::move(replies_.front());
        replies_.pop_front();
        lock.unlock();
        mosquitto_property* properties = nullptr;
        if (!next.correlation.empty()) {
            mosquitto_property_add_binary(&properties, MQTT_PROP_CORRELATION_DATA, next.correlation.data(),
                                          static_cast<std::uint16_t>(next.correlation.size()));
        }
        const std::string& payload = next.message.payload;
        const int result =
            mosquitto_publish_v5(client_, nullptr, next.message.topic.c_str(),
                                 static_cast<int>(payload.size()), payload.data(), 1, false, properties);
        mosquitto_property_free_all(&properties);
        lock.lock();
        if (result == MOSQ_ERR_NO_CONN) {
            replies_.push_front(std::move(next)); // for the next connection
            return;
        }
    }
}

void Link::service(Clock::duration wait) {
    pollfd fds[2] = {{wake_.readEnd(), POLLIN, 0}, {mosquitto_socket(client_), 0, 0}};
    if (fds[1].fd >= 0) {
        fds[1].events = static_cast<short>(POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0));
    }
    if (poll(fds, 2, Milliseconds(wait)) < 0) {
        return;
    }
    if (fds[0].revents != 0) {
        wake_.drain();
    }
    const short readable = POLLIN | POLLERR | POLLHUP;
    if ((fds[1].revents & readable) != 0) {
        mosquitto_loop_read(client_, 1);
    }
    if (hasSocket() && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
        mosquitto_loop_write(client_, 1);
    }
    if (hasSocket()) {
        mosquitto_loop_misc(client_);
    }
}

// "offline" retained, acknowledged if the broker answers in time, then a clean disconnect (which
// leaves the will unsent: the message says the same).
void Link::sayGoodbye() {
    if (!online()) {
        return;
    }
    const auto deadline = Clock::now() + kGoodbyeTime;
    const int result = mosquitto_publish(client_, &offlineId_, statusTopic_.c_str(),
                                         static_cast<int>(kOffline.size()), kOffline.data(), 1, true);
    const auto waiting = [this] {
        const std::lock_guard lock(mutex_);
        return !offlineAcknowledged_;
    };
    while (result == MOSQ_ERR_SUCCESS && hasSocket() && waiting() && Clock::now() < deadline) {
        service(deadline - Clock::now());
    }
    mosquitto_disconnect(client_);
    while (hasSocket() && mosquitto_want_write(client_) && Clock::now() < deadline) {
        service(deadline - Clock::now());
    }
}

} // namespace

// The link outlives the publisher when its thread is stuck in a host name look-up at the end: the
// thread then ends on its own, later, and takes the link with it.
struct Publisher::Connection::Network {
    std::shared_ptr<Link> link;
    std::thread thread;
};

Publisher::Connection::Connection(BrokerSettings settings)
    : prefix_(TopicPrefix(settings)), system_(settings.system), haDiscovery_(settings.haDiscovery) {
    auto link = std::make_shared<Link>(std::move(settings));
    network_ = std::make_unique<Network>(Network{link, std::thread([link] { link->run(); })});
}

Publisher::Connection::~Connection() {
    network_->link->requestStop();
    if (network_->link->waitFinished(Clock::now() + kStopTime)) {
        network_->thread.join();
    } else {
        network_->thread.detach();
    }
}

void Publisher::Connection::enqueue(std::vector<Message> kept, std::optional<Message> state) {
    network_->link->enqueue(std::move(kept), std::move(state));
}

std::vector<IncomingCommand> Publisher::Connection::takeCommands(std::size_t most) {
    return network_->link->takeCommands(most);
}

void Publisher::Connection::reply(Message message, std::string correlation) {
    network_->link->reply(std::move(message), std::move(correlation));
}

BrokerStatus Publisher::Connection::status() const {
    return network_->link->status();
}

} // namespace hz70::publish
