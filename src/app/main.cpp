#include "app/velsend_app.h"

int main(int argc, char** argv) {
    velsend::app::gui::VelsendApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
