"""The time bounds of the e2e tests, with room for a loaded machine.

    WINE_START_MARGIN_S   what every wait for a Wine program or another process gets on top
                          of the time its own work takes
    bound(seconds)        a time-out for such a wait: the work's seconds plus the margin
    deadline(seconds)     time.monotonic() at which a polling wait for it gives up

The machines that run the tests are shared: beside the other Wine tests of a parallel run,
on two cores, one Wine start has taken over 60 s where it takes 2 s alone. The margin
covers twice that. It goes only on waits for Wine and for processes (subprocess
time-outs, polling deadlines, the lifetime of a server that must outlive a run); a bound
on what the installer itself does (it gives up within 20 s, say) is asserted as it
stands, counted from a moment after Wine started where the test can see one.
"""
import time

WINE_START_MARGIN_S = 120


def bound(seconds=0):
    return seconds + WINE_START_MARGIN_S


def deadline(seconds=0):
    return time.monotonic() + bound(seconds)
