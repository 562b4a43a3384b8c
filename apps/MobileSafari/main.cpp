// MobileSafari: the web browser host, scriptable from the command line.
#include "BrowserCommands.hpp"
#include "HostApp.hpp"

int main(int argc, char** argv) {
    host::HostApp app("com.apple.mobilesafari");
    registerBrowserCommands(app);
    return app.main(argc, argv);
}
