#include "app/demo_project.h"

#include <filesystem>

namespace velsend::app {

bool WriteDemoProject(const store::ProjectDir& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir.Root(), ec);
    if (ec) {
        error = "无法建立目录 " + dir.Root().string() + "：" + ec.message();
        return false;
    }
    // The building's data is added here as the stores that write it arrive.
    return true;
}

}  // namespace velsend::app
