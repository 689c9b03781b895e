#!/usr/bin/env node
// pst-list FILE: every folder and item of a PST as pst-extractor (a port of
// java-libpst) reads it, one line each, for comparison with what was
// written. Exits 1 when the reader failed anywhere, or took another road
// than the folder tables (it falls back to the node tree, and skips an item
// it cannot read with no more than a console line).
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const extractor = path.resolve(process.env.PST_EXTRACTOR_DIR || __dirname, 'node_modules', 'pst-extractor');
const { PSTFile } = require(extractor);
const { PSTContact } = require(path.join(extractor, 'dist', 'PSTContact.class'));

const problems = [];
// What the reader says of a class it has no type for is not a failure: it
// reads such an item as a plain message.
const harmless = /unknown message type/;
for (const name of ['log', 'error', 'warn']) {
    console[name] = (...args) => {
        const line = args.join(' ').split('\n')[0];
        if (!harmless.test(line)) problems.push(line);
    };
}
const out = [];
const say = (...fields) => out.push(fields.map((f) => String(f).replace(/[\r\n|]/g, ' ')).join(' | '));
const searchFolder = 0x03; // a node id's type
const length = (text) => (text ? text.length : 0);

function attachmentBytes(a) {
    const stream = a.fileInputStream;
    if (!stream) return Buffer.alloc(0);
    const chunks = [];
    const buffer = Buffer.alloc(8176);
    for (;;) {
        const n = stream.read(buffer);
        if (n <= 0) break;
        chunks.push(Buffer.from(buffer.subarray(0, n)));
    }
    return Buffer.concat(chunks);
}

function listContact(where, c) {
    say('C', where, c.displayName, c.givenName, c.middleName, c.surname, c.email1EmailAddress, c.companyName,
        c.departmentName, c.businessTelephoneNumber, c.homeTelephoneNumber, c.mobileTelephoneNumber,
        c.birthday ? c.birthday.toISOString().slice(0, 10) : '');
}

function listMessage(where, m) {
    if (m instanceof PSTContact) return listContact(where, m);
    const recipients = [];
    for (let i = 0; i < m.numberOfRecipients; ++i) {
        const r = m.getRecipient(i);
        recipients.push(`${r.recipientType}:${r.displayName} <${r.emailAddress}>`);
    }
    const attachments = [];
    for (let i = 0; i < m.numberOfAttachments; ++i) {
        const a = m.getAttachment(i);
        const bytes = attachmentBytes(a);
        const sha1 = crypto.createHash('sha1').update(bytes).digest('hex');
        attachments.push(`${a.longFilename || a.filename}:${bytes.length}:${sha1}`);
    }
    say('M', where, m.messageClass, m.subject, `${m.senderName} <${m.senderEmailAddress}>`, recipients.join('; '),
        `body ${length(m.body)}`, `html ${length(m.bodyHTML)}`, m.isRead ? 'read' : 'unread', attachments.join('; '));
}

function listFolder(folder, where) {
    let items = 0;
    if (folder.getNodeType() === searchFolder) {
        say('F', where, 'search folder');
        return;
    }
    if (folder.contentCount > 0) {
        for (let child = folder.getNextChild(); child; child = folder.getNextChild()) {
            listMessage(where, child);
            ++items;
        }
        if (folder.fallbackEmailsTable) problems.push(`${where}: contents table unreadable, items taken from the node tree`);
    }
    say('F', where, folder.containerClass, `${items} of ${folder.contentCount}`);
    if (items !== folder.contentCount) problems.push(`${where}: ${items} items read of ${folder.contentCount}`);
    if (folder.hasSubfolders)
        for (const sub of folder.getSubFolders()) listFolder(sub, `${where}/${sub.displayName}`);
}

let status = 0;
try {
    const started = Date.now();
    const file = new PSTFile(path.resolve(process.argv[2]));
    const opened = Date.now() - started;
    say('S', file.getMessageStore().displayName);
    listFolder(file.getRootFolder(), '');
    process.stderr.write(`pst-list: opened in ${opened} ms, listed in ${Date.now() - started} ms\n`);
} catch (e) {
    problems.push(`failed: ${e && e.stack ? e.stack.split('\n').slice(0, 3).join(' / ') : e}`);
}
// Written at once: process.exit() does not wait for a pipe to drain.
fs.writeSync(1, out.join('\n') + '\n');
for (const p of problems) {
    fs.writeSync(2, `pst-list: ${p}\n`);
    status = 1;
}
process.exit(status);
