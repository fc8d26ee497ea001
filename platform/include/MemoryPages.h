#pragma once

// Asking the system about the pages behind a buffer, where it can be asked.
namespace memorypages {

// Maps the pages of [begin, end) for writing in one call, begin taken down to the start of its page: a
// page first met by a write otherwise costs a fault of its own. Where the system cannot do it, nothing
// happens and the pages fault one by one as they are written.
void prepareForWrite(const void *begin, const void *end);

} // namespace memorypages
