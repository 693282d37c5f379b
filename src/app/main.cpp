#include "app/vel_app.h"

int main(int argc, char** argv) {
    velsend::app::gui::CVelApp app(argc, argv);
    if (!app.InitInstance()) return 1;
    return app.exec();
}
