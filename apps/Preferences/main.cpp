// Preferences: the Settings application host, scriptable from the command line.
#include "HostApp.hpp"
#include "SettingsCommands.hpp"

int main(int argc, char** argv) {
    host::HostApp app("com.apple.Preferences");
    registerSettingsCommands(app);
    return app.main(argc, argv);
}
