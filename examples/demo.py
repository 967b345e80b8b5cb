"""The quorvelin demo. For now it starts the engine and reports what it found."""
import os
import sys

# Without a display or a sound device, fall back to SDL's dummy drivers.
if not os.environ.get("DISPLAY") and not os.environ.get("WAYLAND_DISPLAY"):
    os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

import quorvelin  # noqa: E402


def main():
    keys = [name for name in dir(quorvelin) if name.startswith("KEY_")]
    print(quorvelin.__doc__.strip())
    print(f"{len(keys)} key constants, SDL video driver: {os.environ.get('SDL_VIDEODRIVER', 'default')}")
    with quorvelin.TERMINAL_GREEN:
        print("engine started")
    return 0


if __name__ == "__main__":
    sys.exit(main())
