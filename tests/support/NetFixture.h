// Tests through ser2net: the server in front of a simulated controller, and
// a port or a window that reaches it by its network name.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "sim/PtySimulator.h"
#include "tests/ser2net/Ser2NetServer.h"

namespace nettest {

// Each test runs in both modes.
inline const auto Modes = ::testing::Values(ser2net::EMode::Rfc2217, ser2net::EMode::Raw);

inline std::string ModeName(const ::testing::TestParamInfo<ser2net::EMode>& info) {
    return info.param == ser2net::EMode::Rfc2217 ? "Rfc2217" : "Socket";
}

// ser2net in front of `device`; a machine without ser2net fails here,
// saying how to install it.
inline void StartServer(ser2net::TServer& server, ser2net::EMode mode, const std::string& device) {
    std::string error;
    ASSERT_TRUE(server.Start(mode, device, &error)) << error;
}

}  // namespace nettest
