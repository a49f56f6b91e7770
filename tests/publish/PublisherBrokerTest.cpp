// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/AlarmMessages.h"
#include "publish/Publisher.h"
#include "support/MosquittoBroker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace hz70::publish {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Waits (bounded) until `done` holds.
bool Eventually(const std::function<bool()>& done, Clock::duration wait = 8s) {
    const auto deadline = Clock::now() + wait;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// A client of the broker that records every message under "hz70/#", at QoS 1.
class Subscriber {
public:
    explicit Subscriber(int port) {
        mosquitto_lib_init();
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_subscribe_callback_set(client_, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<Subscriber*>(self)->Add({}, {});
        });
        mosquitto_message_callback_set(client_, [](mosquitto*, void* self, const mosquitto_message* message) {
            const auto* bytes = static_cast<const char*>(message->payload);
            static_cast<Subscriber*>(self)->Add(message->topic,
                                                std::string(bytes, bytes + message->payloadlen));
        });
        subscribed_ = mosquitto_connect(client_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
                      mosquitto_subscribe(client_, nullptr, "hz70/#", 1) == MOSQ_ERR_SUCCESS &&
                      mosquitto_loop_start(client_) == MOSQ_ERR_SUCCESS &&
                      Eventually([this] { return Count({}, {}) > 0; });
    }
    ~Subscriber() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    [[nodiscard]] bool subscribed() const { return subscribed_; }
    // Messages on `topic` whose payload holds `fragment`.
    [[nodiscard]] std::size_t Count(const std::string& topic, const std::string& fragment) const {
        const std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count_if(received_.begin(), received_.end(), [&](const auto& m) {
            return m.first == topic && m.second.find(fragment) != std::string::npos;
        }));
    }

private:
    void Add(std::string topic, std::string payload) {
        const std::lock_guard lock(mutex_);
        received_.emplace_back(std::move(topic), std::move(payload));
    }

    mosquitto* client_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> received_; // an empty one for the subscription's answer
    bool subscribed_ = false;
};

BrokerSettings Settings(int port) {
    BrokerSettings settings;
    settings.host = "127.0.0.1";
    settings.port = port;
    settings.system = "press3";
    return settings;
}

const std::string kStatus = "hz70/press3/status";

std::string StateTopic(int zone) {
    return "hz70/press3/zone/" + std::to_string(zone) + "/state";
}

// The temperature that tells a state made at `second` from the others.
std::string Mark(int second) {
    return "\"temperature\":" + std::to_string(100 + second) + ".0,";
}

// States of zones 1..7 at the seconds `first`..`last`, zone 8 only at `first`.
class StatePlan {
public:
    static int Zone(int second) { return second % 8 + 1; }

    static void Publish(Publisher& publisher, int first, int last) {
        for (int second = first; second <= last; ++second) {
            TRegulator record;
            InitRegulator(record);
            record.zoneNumber = static_cast<std::int16_t>(Zone(second));
            record.measured[kMeasuredTemperature].value = 100.0 + second;
            publisher.PublishTick({record.zoneNumber - 1, PollOutcome::kUpdated, record});
        }
    }
    static bool AllArrived(const Subscriber& subscriber, int first, int last) {
        for (int second = first; second <= last; ++second) {
            if (subscriber.Count(StateTopic(Zone(second)), Mark(second)) == 0) {
                return false;
            }
        }
        return true;
    }
};

TEST(PublisherBroker, DeliversEveryStateAcrossABrokerRestartAndSaysOnlineAndOffline) {
    test::MosquittoBroker broker;
    ASSERT_TRUE(broker.ok());
    auto publisher = std::make_unique<Publisher>(Settings(broker.port()));
    {
        Subscriber subscriber(broker.port());
        ASSERT_TRUE(subscriber.subscribed());
        StatePlan::Publish(*publisher, 0, 7);
        ASSERT_TRUE(Eventually([&] { return StatePlan::AllArrived(subscriber, 0, 7); }));
        EXPECT_GE(subscriber.Count(kStatus, "online"), 1U);
        EXPECT_EQ(publisher->status().state, BrokerState::Connected);

        broker.Kill();
        ASSERT_TRUE(Eventually([&] { return publisher->status().state == BrokerState::Retrying; }));
        EXPECT_NE(publisher->status().reason.find("MQTT: lost the connection to 127.0.0.1:"),
                  std::string::npos);
    }
    // While the broker is away, zones 1..7 only: zone 8's state from before must come back by itself, since
    // the crash took the retained messages along.
    for (const int second : {8, 9, 10, 11, 12, 13, 14, 17, 18, 19, 20, 21, 22}) {
        StatePlan::Publish(*publisher, second, second);
    }
    EXPECT_EQ(publisher->status().queued, 13U);

    ASSERT_TRUE(broker.Start());
    Subscriber subscriber(broker.port()); // on the new broker well before the publisher's first retry (1 s)
    ASSERT_TRUE(subscriber.subscribed());
    ASSERT_TRUE(Eventually([&] { return publisher->status().queued == 0; }));
    ASSERT_TRUE(Eventually([&] {
        return StatePlan::AllArrived(subscriber, 8, 14) && StatePlan::AllArrived(subscriber, 17, 22) &&
               subscriber.Count(StateTopic(8), Mark(7)) == 1 && subscriber.Count(kStatus, "online") == 1;
    }));
    const BrokerStatus status = publisher->status();
    EXPECT_EQ(status.state, BrokerState::Connected);
    EXPECT_EQ(status.dropped, 0U);
    EXPECT_GE(status.published, 8U + 1 + 13 + 1 + 1);

    const auto destroyed = Clock::now();
    publisher.reset();
    EXPECT_LT(Clock::now() - destroyed, 1s);
    EXPECT_TRUE(Eventually([&] { return subscriber.Count(kStatus, "offline") == 1; }));
}

// A gateway killed, or cut off, says no goodbye: the broker publishes the connection's will instead.
TEST(PublisherBroker, LeavesOfflineBehindWhenItDiesWithoutAGoodbye) {
    test::MosquittoBroker broker;
    ASSERT_TRUE(broker.ok());
    const pid_t child = ::fork(); // before this process has threads of its own
    ASSERT_GE(child, 0);
    if (child == 0) {
        Publisher publisher(Settings(broker.port()));
        const bool connected = Eventually([&] { return publisher.status().state == BrokerState::Connected; });
        ::_exit(connected ? 0 : 1); // no destructor: the socket just closes
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Subscriber subscriber(broker.port());
    EXPECT_TRUE(Eventually([&] { return subscriber.Count(kStatus, "offline") == 1; }));
    EXPECT_EQ(subscriber.Count(kStatus, "online"), 0U);
}

// What the status says of a broker that is not there, one that refuses the password, and one that takes it;
// and that the publisher leaves at once even when the broker is away.
TEST(PublisherBroker, SaysInWordsWhyItCannotConnectAndLeavesAtOnce) {
    test::MosquittoBroker broker("allow_anonymous false\n", false);
    ASSERT_FALSE(broker.WritePasswordFile("press3", "right-horse").empty());
    std::ofstream(broker.dir() / "mosquitto.conf", std::ios::app)
        << "password_file " << (broker.dir() / "passwords").string() << '\n';
    struct Case {
        bool brokerUp;
        const char* password;
        BrokerState state;
        const char* reason;
    };
    const Case cases[] = {
        {false, "right-horse", BrokerState::Retrying,
         "MQTT: cannot connect to 127.0.0.1:%: Connection refused"},
        {true, "wrong-battery", BrokerState::Retrying, "MQTT: broker refused the connection: not authorised"},
        {true, "right-horse", BrokerState::Connected, ""},
    };
    // With commands the connection speaks MQTT 5, whose refusals have codes of their own.
    for (const bool commands : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.password) + (commands ? " MQTT 5" : ""));
            if (c.brokerUp) {
                ASSERT_TRUE(broker.Start());
            } else {
                broker.Kill();
            }
            BrokerSettings settings = Settings(broker.port());
            settings.commands = commands;
            settings.user = "press3";
            settings.password = c.password;
            std::string reason = c.reason;
            if (const auto port = reason.find('%'); port != std::string::npos) {
                reason.replace(port, 1, std::to_string(broker.port()));
            }
            const auto started = Clock::now();
            auto publisher = std::make_unique<Publisher>(settings);
            EXPECT_LT(Clock::now() - started, 100ms);
            EXPECT_TRUE(Eventually([&] {
                const BrokerStatus status = publisher->status();
                return status.state == c.state && status.reason == reason;
            })) << publisher->status().reason;
            const auto destroyed = Clock::now();
            publisher.reset();
            EXPECT_LT(Clock::now() - destroyed, 1s);
        }
    }
}

// A certificate authority made for the test, and a broker certificate for 127.0.0.1 that it signed.
bool MakeAuthority(const test::MosquittoBroker& broker, const std::string& name) {
    const auto file = [&](const std::string& suffix) { return (broker.dir() / (name + suffix)).string(); };
    const std::vector<std::string> key = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                          "-nodes"};
    const auto request = [&](std::vector<std::string> args, const std::string& subject) {
        args.insert(args.begin() + 2, key.begin(), key.end());
        args.insert(args.end(), {"-subj", subject});
        return broker.Run(args);
    };
    std::ofstream(file(".ext")) << "subjectAltName=IP:127.0.0.1\n";
    return request(
               {"openssl", "req", "-x509", "-days", "1", "-keyout", file("-ca.key"), "-out", file("-ca.pem")},
               "/CN=" + name) &&
           request({"openssl", "req", "-keyout", file("-server.key"), "-out", file("-server.csr")},
                   "/CN=127.0.0.1") &&
           broker.Run({"openssl", "x509", "-req", "-days", "1", "-in", file("-server.csr"), "-CA",
                       file("-ca.pem"), "-CAkey", file("-ca.key"), "-CAcreateserial", "-extfile",
                       file(".ext"), "-out", file("-server.pem")});
}

TEST(PublisherBroker, OverTlsTrustsOnlyTheBrokerItsAuthoritySigned) {
    test::MosquittoBroker broker("allow_anonymous true\n", false);
    ASSERT_TRUE(MakeAuthority(broker, "plant") && MakeAuthority(broker, "stranger"));
    const auto file = [&](const std::string& name) { return (broker.dir() / name).string(); };
    std::ofstream(file("mosquitto.conf"), std::ios::app)
        << "cafile " << file("plant-ca.pem") << "\ncertfile " << file("plant-server.pem") << "\nkeyfile "
        << file("plant-server.key") << '\n';
    ASSERT_TRUE(broker.Start());
    const std::string where = "MQTT: cannot connect to 127.0.0.1:" + std::to_string(broker.port()) + ": ";
    struct Case {
        std::string caFile;
        BrokerState state;
        std::string reason;
    };
    const Case cases[] = {
        {file("plant-ca.pem"), BrokerState::Connected, ""},
        {file("stranger-ca.pem"), BrokerState::Retrying, where + "A TLS error occurred."},
        {file("missing-ca.pem"), BrokerState::Retrying,
         "MQTT: cannot read the TLS file " + file("missing-ca.pem")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caFile);
        BrokerSettings settings = Settings(broker.port());
        settings.tls = true;
        settings.caFile = c.caFile;
        Publisher publisher(settings);
        EXPECT_TRUE(Eventually([&] {
            const BrokerStatus status = publisher.status();
            return status.state == c.state && status.reason == c.reason;
        })) << publisher.status().reason;
    }
}

// An MQTT 5 client of the broker, as a control room's would be: it sends commands with a response topic
// and correlation data, and records what comes back on the topics it subscribed to.
class CommandClient {
public:
    struct Received {
        std::string topic, payload, correlation;
    };

    CommandClient(int port, const std::vector<std::string>& filters) {
        mosquitto_lib_init();
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_subscribe_v5_callback_set(
            client_, [](mosquitto*, void* self, int, int, const int*, const mosquitto_property*) {
                ++static_cast<CommandClient*>(self)->subscriptions_;
            });
        mosquitto_message_v5_callback_set(client_, [](mosquitto*, void* self,
                                                      const mosquitto_message* message,
                                                      const mosquitto_property* props) {
            Received received{message->topic,
                              std::string(static_cast<const char*>(message->payload),
                                          static_cast<std::size_t>(message->payloadlen)),
                              {}};
            void* data = nullptr;
            std::uint16_t length = 0;
            if (mosquitto_property_read_binary(props, MQTT_PROP_CORRELATION_DATA, &data, &length, false)) {
                received.correlation.assign(static_cast<const char*>(data), length);
                std::free(data);
            }
            auto& client = *static_cast<CommandClient*>(self);
            const std::lock_guard lock(client.mutex_);
            client.received_.push_back(std::move(received));
        });
        ready_ = mosquitto_connect(client_, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS &&
                 mosquitto_loop_start(client_) == MOSQ_ERR_SUCCESS;
        for (const std::string& filter : filters) {
            ready_ = ready_ && mosquitto_subscribe(client_, nullptr, filter.c_str(), 1) == MOSQ_ERR_SUCCESS;
        }
        ready_ = ready_ && Eventually([&] { return subscriptions_ == static_cast<int>(filters.size()); });
    }
    ~CommandClient() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    CommandClient(const CommandClient&) = delete;
    CommandClient& operator=(const CommandClient&) = delete;

    [[nodiscard]] bool ready() const { return ready_; }
    bool Send(const std::string& topic, const std::string& payload, bool retain,
              const std::string& responseTopic = {}, const std::string& correlation = {}) {
        mosquitto_property* props = nullptr;
        if (!responseTopic.empty()) {
            mosquitto_property_add_string(&props, MQTT_PROP_RESPONSE_TOPIC, responseTopic.c_str());
            mosquitto_property_add_binary(&props, MQTT_PROP_CORRELATION_DATA, correlation.data(),
                                          static_cast<std::uint16_t>(correlation.size()));
            // What a broker that passes the user name on adds, beside another property.
            mosquitto_property_add_string_pair(&props, MQTT_PROP_USER_PROPERTY, "client", "desk");
            mosquitto_property_add_string_pair(&props, MQTT_PROP_USER_PROPERTY, "username", "controlroom");
        }
        const int result =
            mosquitto_publish_v5(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                 payload.data(), 1, retain, props);
        mosquitto_property_free_all(&props);
        return result == MOSQ_ERR_SUCCESS;
    }
    [[nodiscard]] std::optional<Received> On(const std::string& topic) const {
        const std::lock_guard lock(mutex_);
        for (const Received& received : received_) {
            if (received.topic == topic) {
                return received;
            }
        }
        return std::nullopt;
    }

private:
    mosquitto* client_;
    mutable std::mutex mutex_;
    std::vector<Received> received_;
    std::atomic<int> subscriptions_ = 0;
    bool ready_ = false;
};

// Commands arrive with what the requester sent along, retained ones flagged, and the result goes to the
// zone's result topic and to the requester's response topic with its correlation data.
TEST(PublisherBroker, TakesCommandsAndAnswersOnTheResultAndResponseTopics) {
    test::MosquittoBroker broker;
    ASSERT_TRUE(broker.ok());
    CommandClient controlRoom(broker.port(),
                              {"hz70/press3/zone/+/result", "desk/#", "hz70/press3/zone/+/alarm"});
    ASSERT_TRUE(controlRoom.ready());
    // Left on the broker before the line connects: it comes as a replay, flagged, and shows the
    // subscription stands.
    ASSERT_TRUE(controlRoom.Send("hz70/press3/zone/1/set/mode", "stop", true));
    BrokerSettings settings = Settings(broker.port());
    settings.commands = true;
    Publisher publisher(settings);
    std::vector<IncomingCommand> taken;
    const auto take = [&](std::size_t count) {
        return Eventually([&] {
            for (IncomingCommand& command : publisher.TakeCommands(1)) { // one at a time: the rest wait
                taken.push_back(std::move(command));
            }
            return taken.size() >= count;
        });
    };
    ASSERT_TRUE(take(1));
    const std::string correlation("\x00\x01req-7\xff", 8);
    ASSERT_TRUE(controlRoom.Send("hz70/press3/zone/2/set/SP", "180", false, "desk/answers", correlation));
    ASSERT_TRUE(controlRoom.Send("hz70/press3/zone/3/set/SP", "190", true)); // live, yet retained
    ASSERT_TRUE(take(3));
    ASSERT_EQ(taken.size(), 3U);
    EXPECT_TRUE(taken[0].retained);
    EXPECT_EQ(taken[0].payload, "stop");
    EXPECT_FALSE(taken[1].retained);
    EXPECT_EQ(taken[1].topic, "hz70/press3/zone/2/set/SP");
    EXPECT_EQ(taken[1].payload, "180");
    EXPECT_EQ(taken[1].correlation, correlation);
    EXPECT_EQ(taken[1].responseTopic, "desk/answers");
    EXPECT_EQ(taken[1].origin, "controlroom");
    EXPECT_TRUE(taken[2].retained);
    EXPECT_EQ(taken[2].origin, taken[2].topic) << "mosquitto passes on no user name";

    CommandResult result;
    result.zone = 2;
    result.setting = "SP";
    result.ok = true;
    result.before = 200;
    result.requested = result.readBack = 180;
    result.unit = "°C";
    publisher.PublishResult(taken[1], result);
    ASSERT_TRUE(Eventually(
        [&] { return controlRoom.On("hz70/press3/zone/2/result") && controlRoom.On("desk/answers"); }));
    const auto onResultTopic = *controlRoom.On("hz70/press3/zone/2/result");
    const auto onResponseTopic = *controlRoom.On("desk/answers");
    EXPECT_EQ(onResultTopic.payload, CommandResultJson(taken[1], result));
    EXPECT_EQ(onResponseTopic.payload, onResultTopic.payload);
    EXPECT_EQ(onResponseTopic.correlation, correlation);
    EXPECT_TRUE(onResultTopic.correlation.empty());

    // The alarm log's events go out beside the results, as they come.
    publisher.PublishAlarm(
        2, AlarmJson({"2026-12-09T18:00:00.000+01:00", 2, 12, "Dysza \"B\"", "temperature-high", "came"}));
    ASSERT_TRUE(Eventually([&] { return controlRoom.On("hz70/press3/zone/2/alarm").has_value(); }));
    EXPECT_EQ(controlRoom.On("hz70/press3/zone/2/alarm")->payload,
              R"({"time":"2026-12-09T18:00:00.000+01:00","zone":2,"address":12,"name":"Dysza \"B\"",)"
              R"("event":"temperature-high","change":"came"})");
}

} // namespace
} // namespace hz70::publish
