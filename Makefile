# The two commands of the README. Both run as root on Debian 12 and install
# what they need first.
.PHONY: demo demo-resume test build clean

demo:
	scripts/demo.sh

demo-resume:
	scripts/demo.sh resume

test:
	scripts/test.sh

build:
	scripts/install-deps.sh
	scripts/build.sh

clean:
	rm -rf build
