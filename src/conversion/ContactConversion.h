// Address Book mode: every person document of the names database becomes
// an Outlook contact in a new contacts folder of the PST. Runs on the
// conversion worker.
#pragma once

class ProgressView;
struct OutlookSession;

void convertContacts(ProgressView& page, OutlookSession& session);
