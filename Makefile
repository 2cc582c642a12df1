# The commands of the README. All run as root on Debian 12 and install
# what they need first.
.PHONY: demo demo-resume test build release clean

demo:
	scripts/demo.sh

demo-resume:
	scripts/demo.sh resume

test:
	scripts/test.sh

# The distributed executable in dist/: make release [SERVICE_URL=...] [BRIDGE_TOOLS=/path]
release:
	SERVICE_URL='$(SERVICE_URL)' BRIDGE_TOOLS='$(BRIDGE_TOOLS)' scripts/release.sh

build:
	scripts/install-deps.sh
	scripts/build.sh

clean:
	rm -rf build dist
