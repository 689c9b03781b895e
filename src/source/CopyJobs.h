// The backup copy's jobs: sources and destinations in two parallel lists,
// the n-th source going to the n-th destination. A caller appends its job,
// runs the copy dialog, and empties the lists when it returns.
#pragma once
#include "../common/TextList.h"

struct CopyJobs {
    TextList sources;
    TextList destinations;

    void append(const std::wstring& source, const std::wstring& destination) {
        sources.append(source);
        destinations.append(destination);
    }
    void clear() {
        sources.clear();
        destinations.clear();
    }
};

// The process's one pair of lists.
CopyJobs& copyJobs();
