#include "app/Program.h"
#include "controls/ErrorHandler.h"

int main(int argc, char** argv) {
    controls::Application app(argc, argv);
    return app::programBody(app.arguments());
}
