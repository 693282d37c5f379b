#include "app/velsend_app.h"
#include "base/platform/stop_requests.h"

int main(int argc, char** argv) {
    // A file-size limit fails a save with "File too large" (the old file
    // stays) instead of killing the program.
    velsend::platform::IgnoreFileSizeLimit();
    velsend::app::VelsendApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
