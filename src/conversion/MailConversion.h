// Mails mode: the messages of the Notes folders chosen on Step 3 moved,
// with their headers, body and attachments, into a folder tree of the PST
// that mirrors them. Runs on the conversion worker.
#pragma once

class ProgressView;
struct OutlookSession;

void convertMails(ProgressView& page, OutlookSession& session);
