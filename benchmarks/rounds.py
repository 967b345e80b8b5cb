"""Interleaved timing shared by the benchmarks that race the engine against a peer.

Every round times each side once, one right after the other, in an order that rotates
from round to round (with two sides: alternating), so that both sides see the same
machine (other processes, clock speed, caches). A side's figure is the median of its
rounds; a ratio is always ours / peer (below 1: the engine is faster), the median of the
rounds' own ratios, shown with the lowest and highest of them.
"""
import statistics
import time


def per_call(call, number):
    """Seconds per call, over `number` calls in a row."""
    start = time.perf_counter()
    for _ in range(number):
        call()
    return (time.perf_counter() - start) / number


def per_execution(timer, number):
    """Seconds per execution of a timeit.Timer's statement: the loop runs inside the
    timer, without a Python call per execution, for operations of a few nanoseconds."""
    return timer.timeit(number) / number


def calls_for(side, seconds=0.002, sample=per_call):
    """How many calls in a row take about `seconds` (at least one)."""
    number = 1
    while True:
        took = sample(side, number) * number
        if took >= seconds / 4 or number >= 1 << 24:
            return max(1, int(number * seconds / max(took, 1e-9)))
        number *= 4


def interleaved(sides, rounds, seconds=0.002, sample=per_call):
    """{name: side} -> {name: [seconds per call, one figure per round]}, a side being a
    callable (or what `sample` times). Each side is sized to about `seconds` per sample,
    which also warms it up."""
    numbers = {name: calls_for(side, seconds, sample) for name, side in sides.items()}
    times = {name: [] for name in sides}
    names = list(sides)
    for index in range(rounds):
        for name in order(names, index):
            times[name].append(sample(sides[name], numbers[name]))
    return times


def median(values):
    return statistics.median(values)


def median_ratio(ours, theirs):
    """The median of the rounds' ratios ours / theirs."""
    return statistics.median(a / b for a, b in zip(ours, theirs))


def order(names, index):
    """The sides of round `index`, rotated by one from the round before."""
    shift = index % len(names)
    return names[shift:] + names[:shift]


def ratio_range(ours, theirs):
    """(median, lowest, highest) of the rounds' ratios ours / theirs."""
    ratios = sorted(a / b for a, b in zip(ours, theirs))
    return statistics.median(ratios), ratios[0], ratios[-1]


def show_ratio(ours, theirs):
    """'median [lowest-highest]' of the rounds' ratios ours / theirs."""
    middle, low, high = ratio_range(ours, theirs)
    return "%.2f [%.2f-%.2f]" % (middle, low, high)
