#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velsend::base {

inline constexpr int kFirstModel = 1;
inline constexpr int kLastModel = 6;
inline constexpr int kDefaultModel = 2;

inline constexpr std::string_view kAppTitle =
    "MX300K(A)/300K(A)2 控制器数据设置传送程序 Vel for MX300K(A)/300K(A)2";
inline constexpr std::string_view kDocumentTitle = "VelSend v10.1 (更新与2013.4.9)";

struct ControllerModelInfo {
    int code;
    std::string_view menuText;
    int menuBar;
    std::string_view captionSuffix;
    std::uint8_t handshakeCode;
    int selectCommand;  // the menu command that selects this model
};

bool IsValidModel(int code);
// Throws std::out_of_range for a code outside 1..6.
const ControllerModelInfo& ModelInfo(int code);
// "VelSend v10.1 (更新与2013.4.9) - " followed by the model's caption suffix.
std::string MainCaption(int code);

}  // namespace velsend::base
