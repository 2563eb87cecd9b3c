// Identifies the exchange on a serial device and prints who it is.
#include <cstdio>
#include <cstring>
#include <string>

#include "link/comm_port.h"
#include "link/identification.h"
#include "link/link.h"

using namespace stanset;

int main(int argc, char** argv) {
    std::string device = "COM1";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--device") == 0 && i + 1 < argc) {
            device = argv[++i];
        } else {
            std::fprintf(stderr, "usage: stanset-probe [--device PATH|COMn]\n");
            return 2;
        }
    }
    try {
        TCommPort port;
        port.Open(device);
        port.PurgeInput();
        TLink link(port);
        if (link.CheckLink() < 0) {
            std::fprintf(stderr, "Нет связи со станцией.\n");
            return 1;
        }
        TIdentReply reply;
        TStatusAndOptions identity;
        if (link.Identify(reply.Buffer, reply.Length) != 1) {
            std::fprintf(stderr, "Нет связи со станцией.\n");
            return 1;
        }
        if (!DecodeIdentification(reply, identity, true)) {
            std::fprintf(stderr, "Ошибка чтения кода устройства\n");
            return 1;
        }
        std::printf("Model:    %s\nFirmware: VX 7.7 / %s\nSerial:   %s\nName:     %s\n"
                    "Lines %u, trunks %u, intercoms %u, directions %u, loudspeakers %u, system phones %u\n",
                    identity.Model.c_str(), identity.Version.c_str(), identity.Serial.c_str(),
                    identity.ExchangeName.c_str(), identity.LineCount, identity.TrunkCount,
                    identity.IntercomBlocks, identity.DirectionCount, identity.GGSBlocks, identity.STACount);
        return 0;
    } catch (const ECommError& e) {
        std::fprintf(stderr, "%s: %s\n", device.c_str(), e.what());
        return 1;
    }
}
