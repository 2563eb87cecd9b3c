// Names the technician gives to numbers; kept on the PC only.
#pragma once

#include <map>
#include <string>

namespace stanset {

// Held in memory until the names files are read and written.
class TNamesList {
public:
    explicit TNamesList(std::string workDir = {}) : workDir_(std::move(workDir)) {}
    std::string NameOf(const std::string& key) const {
        auto it = names_.find(key);
        return it == names_.end() ? std::string() : it->second;
    }
    void StoreName(const std::string& key, const std::string& name) { names_[key] = name; }

private:
    std::string workDir_;
    std::map<std::string, std::string> names_;
};

}  // namespace stanset
