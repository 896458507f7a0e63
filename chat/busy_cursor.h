#pragma once

namespace parlino {

// On: shows the system wait cursor and remembers the cursor it replaced.
// Off: puts the remembered cursor back. Calls come in pairs, on first.
void setBusyCursor(bool on);

} // namespace parlino
