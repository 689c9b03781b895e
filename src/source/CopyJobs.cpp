#include "CopyJobs.h"

CopyJobs& copyJobs() {
    static CopyJobs jobs;
    return jobs;
}
