"""Growth checks for operations that create and drop objects every frame or every call.

An operation runs `warmup` times first, so that caches, free lists, interned names and
lazily started parts of SDL settle. Then it runs in `windows` windows of `rounds`
iterations; before the first and after each window the collector runs and three
counters are read:

- live objects: len(gc.get_objects()), the containers the collector tracks;
- allocated blocks: sys.getallocatedblocks(), every small object of the interpreter's
  allocator, containers or not (always 0 when PYTHONMALLOC=malloc);
- memory: the resident set from /proc/self/statm, after glibc has returned its free
  pages; under AddressSanitizer the sanitizer's count of live heap bytes instead,
  since its quarantine of freed blocks makes the resident set grow by design. This
  counter sees what SDL allocates as well.

A counter leaks when it grew, in every window, by at least its threshold for each
iteration. A one-off growth (a cache filling, the allocator taking a new arena)
shows in one window; a leak of even one object per call shows in all of them.
"""
import ctypes
import gc
import os
import sys

_LIBC = ctypes.CDLL(None)
SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")

if SANITIZED:
    _live_heap_bytes = _LIBC.__sanitizer_get_current_allocated_bytes
    _live_heap_bytes.restype = ctypes.c_size_t

    def process_memory():
        return _live_heap_bytes()
else:
    _PAGE = os.sysconf("SC_PAGE_SIZE")

    def process_memory():
        _LIBC.malloc_trim(0)
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[1]) * _PAGE

# counter: growth per iteration that counts as a leak. A leaked object per call gives
# 1.0 for the first two. The sanitizer counts live bytes exactly, so the smallest
# object that leaks shows; the resident set moves in pages and needs a larger step.
THRESHOLDS = {
    "live objects": 0.5,
    "allocated blocks": 0.5,
    "memory bytes": 16 if SANITIZED else 2048,
}


def measure():
    gc.collect()
    gc.collect()
    # The attribute cache of the types keeps the names of its last lookups: names made
    # at run time (by unpickling, for one) would count as growth until it is full.
    sys._clear_type_cache()
    return {"live objects": len(gc.get_objects()),
            "allocated blocks": sys.getallocatedblocks(),
            "memory bytes": process_memory()}


def growth(operation, rounds=200, warmup=50, windows=3):
    """{counter: [growth per iteration in each window]}."""
    for _ in range(warmup):
        operation()
    readings = [measure()]
    for _ in range(windows):
        for _ in range(rounds):
            operation()
        readings.append(measure())
    return {counter: [(after[counter] - before[counter]) / rounds
                      for before, after in zip(readings, readings[1:])]
            for counter in THRESHOLDS}


def leaking_counters(operation, **options):
    """The counters that grew in every window, with their growth per iteration."""
    return {counter: values for counter, values in growth(operation, **options).items()
            if all(value >= THRESHOLDS[counter] for value in values)}


def assert_no_leak(operation, **options):
    leaks = leaking_counters(operation, **options)
    assert not leaks, f"grows on every call (per iteration, per window): {leaks}"
