// A checksum of a whole file, read through an open handle: it tells
// whether a file still holds the bytes it held, where times cannot tell.
#ifndef BRANTIX_RUN_CHECKSUM_H_
#define BRANTIX_RUN_CHECKSUM_H_

#include <cstdint>

#include "text/file.h"

/// Reads |file| from its start to its end and gives the checksum of its
/// bytes in |sum| and their count in |size|. Returns false on a read error.
bool SumOf(File* file, std::uint64_t* sum, std::uint64_t* size);

#endif  // BRANTIX_RUN_CHECKSUM_H_
