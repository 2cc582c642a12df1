#!/usr/bin/env python3
"""Certificates whose key a careless DER reader would get wrong, beside the
test PKI's own: <pki>/key-encodings/<case>.der, and <case>.pin, the SHA-256
(32 bytes) of the key a certificate holds in its key's place, computed with
cmake/publisher-pin.sh (openssl) from the certificate that key came from.
  publisher, other-publisher, ec-publisher  as issued
  version-tag-multi-octet   the version's tag [0] written in two octets (BF 00)
  serial-tag-1f02           the serial's tag written 1F 02, with the publisher's
                            key inside the serial where a reader that skips
                            fields without reading their tags lands, and
                            other-publisher's key in the key's place, signed
                            by other-publisher's key
  outer-length-indefinite   the certificate's length in indefinite form
  key-length-non-minimal    the key's length in one octet more than it needs
Usage: craft-key-encodings.py <pki folder>"""
import os
import subprocess
import sys

pki = sys.argv[1]
root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
out = os.path.join(pki, "key-encodings")


def run(*command, data=None):
    return subprocess.run(command, input=data, stdout=subprocess.PIPE, check=True).stdout


def length(size):
    if size < 0x80:
        return bytes([size])
    octets = size.to_bytes((size.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(octets)]) + octets


def header_size(item):
    return 2 + (item[1] & 0x7F if item[1] & 0x80 else 0)


def children(item):
    """The elements inside a DER element, each with its tag and length."""
    contents, items = item[header_size(item):], []
    while contents:
        size = header_size(contents)
        size += int.from_bytes(contents[2:size], "big") if size > 2 else contents[1]
        items.append(contents[:size])
        contents = contents[size:]
    return items


def sequence(items, tag=b"\x30"):
    contents = b"".join(items)
    return tag + length(len(contents)) + contents


def der(name):
    return run("openssl", "x509", "-in", os.path.join(pki, name + ".pem"), "-outform", "DER")


def write(case, certificate, key_from):
    with open(os.path.join(out, case + ".der"), "wb") as file:
        file.write(certificate)
    pin = run(os.path.join(root, "cmake", "publisher-pin.sh"), os.path.join(pki, key_from + ".pem"))
    with open(os.path.join(out, case + ".pin"), "wb") as file:
        file.write(bytes.fromhex(pin.decode().strip()))


os.makedirs(out, exist_ok=True)
for name in ("publisher", "other-publisher", "ec-publisher"):
    write(name, der(name), name)

issued = der("publisher")
tbs, algorithm, signature = children(issued)
fields = children(tbs)  # version, serial, signature, issuer, validity, subject, key, extensions
key = fields[6]

multi_octet = [b"\xbf\x00" + fields[0][1:]] + fields[1:]
write("version-tag-multi-octet", sequence([sequence(multi_octet), algorithm, signature]), "publisher")

# 1F 02 is INTEGER in the multi-octet tag form, as openssl reads it. Read as
# tag 1F of length 2, it swallows the first two octets of the serial's length;
# the third is read as a tag whose length, the serial's first octet (1, which
# keeps the serial a minimal INTEGER), covers the second; three NULLs fill the
# other skipped fields and the next element is the publisher's key.
serial = b"\x01\x01" + b"\x05\x00" * 3 + key
assert len(length(len(serial))) == 3
other = run("openssl", "x509", "-in", os.path.join(pki, "other-publisher.pem"), "-noout", "-pubkey")
other_key = run("openssl", "pkey", "-pubin", "-outform", "DER", data=other)
resigned = sequence(fields[:1] + [b"\x1f\x02" + length(len(serial)) + serial] + fields[2:6] +
                    [other_key] + fields[7:])
signed = run("openssl", "dgst", "-sha256", "-sign", os.path.join(pki, "other-publisher.key"),
             data=resigned)
write("serial-tag-1f02", sequence([resigned, algorithm, sequence([b"\x00" + signed], b"\x03")]),
      "other-publisher")

write("outer-length-indefinite", b"\x30\x80" + tbs + algorithm + signature + b"\x00\x00", "publisher")

assert key[1] == 0x82
longer = [b"\x30\x83\x00" + key[2:]]
write("key-length-non-minimal", sequence([sequence(fields[:6] + longer + fields[7:]), algorithm,
                                          signature]), "publisher")
