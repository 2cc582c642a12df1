# The two commands of the README. Both run as root on Debian 12 and install
# what they need first.
.PHONY: test build clean

test:
	scripts/test.sh

build:
	scripts/install-deps.sh
	scripts/build.sh

clean:
	rm -rf build
