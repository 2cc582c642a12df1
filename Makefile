# The commands of the README. All run as root on Debian 12 and install
# what they need first.
.PHONY: demo demo-resume test check build release size clean

# make demo [LINE_KIBPS=32]: the first run's download over a line that slow.
demo:
	LINE_KIBPS='$(LINE_KIBPS)' scripts/demo.sh

demo-resume:
	scripts/demo.sh resume

test:
	scripts/test.sh

# The quick loop while editing: the unit cases only (CTest label unit), two
# at a time; the others are labelled program, render, release and i386.
check:
	scripts/test.sh -L '^unit$$' -j2

# The distributed executable in dist/: make release PUBLISHER_KEYS=a.cer[,b.cer]
# MIN_SETUP_VERSION=a.b.c.d [SUITE_PRODUCT_NAME=...] [SERVICE_URL=...] [BRIDGE_TOOLS=/path] [SIGN_PKCS12=f.p12 | SIGN_CERT=c.pem SIGN_KEY=k.pem]
# [TIMESTAMP_URL=...] [SIGN_TIME=<unix time>] [UNSIGNED_SETUP=allow]; scripts/release.sh says more.
release:
	SERVICE_URL='$(SERVICE_URL)' BRIDGE_TOOLS='$(BRIDGE_TOOLS)' PUBLISHER_KEYS='$(PUBLISHER_KEYS)' \
	  MIN_SETUP_VERSION='$(MIN_SETUP_VERSION)' SUITE_PRODUCT_NAME='$(SUITE_PRODUCT_NAME)' \
	  UNSIGNED_SETUP='$(UNSIGNED_SETUP)' SIGN_PKCS12='$(SIGN_PKCS12)' SIGN_CERT='$(SIGN_CERT)' \
	  SIGN_KEY='$(SIGN_KEY)' TIMESTAMP_URL='$(TIMESTAMP_URL)' SIGN_TIME='$(SIGN_TIME)' scripts/release.sh

# Where the last make release's bytes go (own code, runtimes, resources, cabinet).
size:
	scripts/size-table.sh

build:
	scripts/install-deps.sh
	scripts/build.sh

clean:
	rm -rf build dist
