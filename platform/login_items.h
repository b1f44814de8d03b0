// Starting the host at login.
#pragma once

#include <stdexcept>

namespace tessary {

// Raw values as the login-item status is logged.
enum class LoginItemStatus : long {
    notRegistered = 0,
    enabled = 1,
};

class LoginItemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    virtual void registerApp() = 0;   // throws LoginItemError
    virtual void unregisterApp() = 0; // throws LoginItemError
    virtual LoginItemStatus status() = 0;
};

} // namespace tessary
