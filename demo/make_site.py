#!/usr/bin/env python3
"""Writes the publisher's site: the install manifest and the launcher's package.

The site folder, served by the publisher server (tests/fixtures/publisher_server.py),
is everything the installer fetches over the network:

  SITE/kvinstall.txt              the install manifest (INI text, section "Install")
  SITE/<package path>             a copy of the package installer

The manifest's "Url" names the package on the same server, so the server's base URL is
an argument: start the server on the (possibly empty) folder first, then write the site
with the port it reports.

  make_site.py --package build/demo/kvinstaller.exe --site /tmp/site \
               --base-url http://127.0.0.1:8080 [--version 1.0.0.1] [--path pkg/x.exe]

Only the Python standard library is used.
"""

import argparse
import hashlib
import os
import shutil
import sys

MANIFEST_NAME = "kvinstall.txt"
DEFAULT_VERSION = "1.0.0.1"


def package_path_for(version):
    return "packages/kvinstaller-%s.exe" % version


def manifest_text(url, size, md5, version):
    # CRLF line ends, as the manifest servers publish their INI files.
    lines = ["[Install]", "Url=" + url, "Size=%d" % size, "Md5=" + md5, "Version=" + version]
    return "\r\n".join(lines) + "\r\n"


def md5_of(path):
    digest = hashlib.md5()
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def make_site(package, site, base_url, version=DEFAULT_VERSION, path=None):
    """Copies the package into the site and writes the manifest; returns the package URL."""
    path = (path or package_path_for(version)).lstrip("/")
    target = os.path.join(site, *path.split("/"))
    os.makedirs(os.path.dirname(target) or site, exist_ok=True)
    shutil.copyfile(package, target)
    url = base_url.rstrip("/") + "/" + path
    text = manifest_text(url, os.path.getsize(target), md5_of(target), version)
    # Written through a temporary name so that a server never serves half a manifest.
    manifest = os.path.join(site, MANIFEST_NAME)
    with open(manifest + ".tmp", "wb") as stream:
        stream.write(text.encode("utf-8"))
    os.replace(manifest + ".tmp", manifest)
    return url


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--package", required=True, help="the package installer to publish")
    parser.add_argument("--site", required=True, help="folder to write the site into")
    parser.add_argument("--base-url", required=True, help="URL the site is served under")
    parser.add_argument("--version", default=DEFAULT_VERSION, help="version text of the package")
    parser.add_argument("--path", default=None, help="path of the package below the site")
    args = parser.parse_args(argv)
    if not os.path.isfile(args.package):
        parser.error("no package at %s" % args.package)
    url = make_site(args.package, args.site, args.base_url, args.version, args.path)
    print(url)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
