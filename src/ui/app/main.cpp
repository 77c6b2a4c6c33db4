#include "app/CommandLine.h"
#include "app/Detector.h"
#include "app/RealSeams.h"
#include "engine/GatewayEngine.h"
#include "link/Clock.h"

int main(int argc, char** argv) {
    if (const std::optional<int> code = AnswerHelpOrVersion(argc, argv)) return *code;
    VarnexApplication app(argc, argv);
    QtPrompts prompts;
    DesktopPlatform platform;
    SystemClock clock;
    Services services;
    services.prompts = &prompts;
    services.platform = &platform;
    services.clock = &clock;
    GatewayEngine engine(clock);
    services.engine = &engine;
    return Detector(app, services);
}
