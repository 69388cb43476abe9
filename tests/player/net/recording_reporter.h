// Keeps everything the network input reports, for tests to look at.
#pragma once

#include "net_reporter.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace net_test {

struct progress_report {
    int code;
    int value;
    std::string text;
};

struct message_report {
    int level;
    std::string message;
    std::string detail;
};

class recording_reporter : public melvox::net::net_reporter {
public:
    void progress(int code, int value, const char* text) override
    {
        std::lock_guard lock(mutex_);
        progress_.push_back({code, value, text ? text : ""});
    }
    void message(int level, const char* message, const char* detail) override
    {
        std::lock_guard lock(mutex_);
        messages_.push_back({level, message, detail ? detail : ""});
    }
    void property(const char* name, const char* value) override
    {
        std::lock_guard lock(mutex_);
        properties_[name] = value;
        property_order_.push_back(name);
    }

    std::vector<progress_report> progress() const
    {
        std::lock_guard lock(mutex_);
        return progress_;
    }
    std::vector<message_report> messages() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::map<std::string, std::string> properties() const
    {
        std::lock_guard lock(mutex_);
        return properties_;
    }
    // The detail of the first message with this text, or "<none>".
    std::string detail_of(const std::string& message) const
    {
        std::lock_guard lock(mutex_);
        for (const auto& m : messages_)
            if (m.message == message)
                return m.detail;
        return "<none>";
    }
    size_t property_calls() const
    {
        std::lock_guard lock(mutex_);
        return property_order_.size();
    }
    std::vector<int> progress_codes() const
    {
        std::lock_guard lock(mutex_);
        std::vector<int> codes;
        for (const auto& p : progress_)
            codes.push_back(p.code);
        return codes;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        progress_.clear();
        messages_.clear();
        properties_.clear();
        property_order_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<progress_report> progress_;
    std::vector<message_report> messages_;
    std::map<std::string, std::string> properties_;
    std::vector<std::string> property_order_;
};

} // namespace net_test
