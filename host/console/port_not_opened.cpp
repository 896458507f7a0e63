#include "host/console/port_not_opened.h"

namespace parlino::host {

void tellPortNotOpened(std::ostream &err, std::uint16_t port, const PortOpening &opening) {
    if (opening.inUse)
        err << "parlino: port " << port << " is in use by another program; choose another with --port\n";
    else if (!opening.problem.empty())
        err << "parlino: port " << port << " cannot be opened: " << opening.problem
            << "; choose another with --port\n";
}

} // namespace parlino::host
