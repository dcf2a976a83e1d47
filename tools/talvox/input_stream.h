// Standard input and FIFOs: read whole into memory with a size limit, never
// waiting for ever on a FIFO that nobody writes to.
#pragma once

#include <string>

namespace tvx {

// The whole stream of fd (standard input or an open FIFO); name is used in
// messages. A FIFO that no program writes to is given up after a few
// seconds; a stream larger than the limit is refused.
std::string ReadStream(int fd, const std::string& name, bool namedFifo);

// Opens a FIFO for reading without blocking on the absence of a writer.
int OpenFifo(const std::string& path);

}  // namespace tvx
