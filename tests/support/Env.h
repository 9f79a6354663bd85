#pragma once
// The environment of one test: variables set for a scope, and private XDG folders.

#include "support/TempDir.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace vsr::test {

// Sets an environment variable for the lifetime of the object, then restores it.
class TEnvScope {
public:
    TEnvScope(std::string name, const std::string& value) : FName(std::move(name)) {
        if (const char* old = std::getenv(FName.c_str()))
            FOld = old;
        setenv(FName.c_str(), value.c_str(), 1);
    }
    ~TEnvScope() {
        if (FOld)
            setenv(FName.c_str(), FOld->c_str(), 1);
        else
            unsetenv(FName.c_str());
    }
    TEnvScope(const TEnvScope&) = delete;
    TEnvScope& operator=(const TEnvScope&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_DATA_DIRS in a fresh temporary folder ("data",
// "config" and "system"), so that an installed package of the player is not seen.
struct TXdgHome {
    TTempDir Home;
    TEnvScope Data{"XDG_DATA_HOME", Home.File("data")};
    TEnvScope Config{"XDG_CONFIG_HOME", Home.File("config")};
    TEnvScope SystemData{"XDG_DATA_DIRS", Home.File("system")};

    std::string DataFile(const std::string& name) const { return Home.File("data/" + name); }
};

} // namespace vsr::test
