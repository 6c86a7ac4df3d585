#include "app/Program.h"
#include "controls/ErrorHandler.h"

int main(int argc, char** argv) {
    controls::Application app(argc, argv);
    app::StartupHooks hooks;
    hooks.application = &app;
    return app::programBody(app.arguments(), hooks);
}
