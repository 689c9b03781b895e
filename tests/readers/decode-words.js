// node decode-words.js DIR: the messages readpst wrote below DIR (files
// named by a number alone) with the RFC 2047 encoded words of their header
// blocks decoded and folded lines joined, in place, so that the checks can
// look for the texts themselves.
'use strict';
const fs = require('fs');
const path = require('path');

function decodeWord(charset, encoding, text) {
    const bytes = /^b$/i.test(encoding)
        ? Buffer.from(text, 'base64')
        : Buffer.from(text.replace(/_/g, ' ').replace(/=([0-9A-Fa-f]{2})/g, (m, h) => String.fromCharCode(parseInt(h, 16))), 'latin1');
    return /^utf-?8$/i.test(charset) ? bytes.toString('utf8') : bytes.toString('latin1');
}

function decodeHeader(header) {
    const unfolded = header.replace(/\r?\n[ \t]+/g, ' ');
    return unfolded
        .replace(/(=\?[^?]+\?[BbQq]\?[^?]*\?=)\s+(?==\?[^?]+\?[BbQq]\?[^?]*\?=)/g, '$1')
        .replace(/=\?([^?*]+)(?:\*[^?]*)?\?([BbQq])\?([^?]*)\?=/g, (m, c, e, t) => decodeWord(c, e, t));
}

function walk(dir) {
    for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
        const full = path.join(dir, entry.name);
        if (entry.isDirectory()) {
            walk(full);
        } else if (/^[0-9]+$/.test(entry.name)) {
            const text = fs.readFileSync(full, 'utf8');
            const end = text.search(/\r?\n\r?\n/);
            const head = end < 0 ? text : text.slice(0, end);
            fs.writeFileSync(full, decodeHeader(head) + (end < 0 ? '' : text.slice(end)));
        }
    }
}

walk(process.argv[2]);
