"""Event subscription and dispatch through fireEvent."""
import pytest

import quorvelin
from quorvelin import Engine, Event, KeyEvent, MouseClickEvent


class Custom(Event):
    pass


def test_unknown_type_calls_nothing(engine):
    assert engine.fireEvent(Custom()) is None


def test_handlers_share_one_event_in_subscription_order(engine):
    seen = []

    def first(event):
        seen.append(("first", event))
        event.isAlreadyHandled = True

    engine.subscribeEvent(Custom, first)
    engine.subscribeEvent(Custom, lambda e: seen.append(("second", e, e.isAlreadyHandled)))
    event = Custom()
    engine.fireEvent(event)
    assert [s[0] for s in seen] == ["first", "second"]
    assert seen[0][1] is event and seen[1][1] is event and seen[1][2] is True


def test_handler_subscribed_twice(engine):
    calls = []
    handler = calls.append
    engine.subscribeEvent(Custom, handler)
    engine.subscribeEvent(Custom, handler)
    engine.fireEvent(Custom())
    assert len(calls) == 2
    engine.unsubscribeEvent(Custom, handler)
    engine.fireEvent(Custom())
    assert len(calls) == 3
    engine.unsubscribeEvent(Custom, handler)
    engine.fireEvent(Custom())
    assert len(calls) == 3 and Engine._eventSubscribers[Custom] == []


def test_unsubscribing_what_is_absent(engine):
    engine.unsubscribeEvent(Custom, print)
    engine.subscribeEvent(Custom, len)
    engine.unsubscribeEvent(Custom, print)
    assert Engine._eventSubscribers == {Custom: [len]}


def test_exact_type_only(engine):
    received = []
    engine.subscribeEvent(Event, received.append)
    engine.fireEvent(Custom())
    assert received == []
    engine.fireEvent(Custom(), Event)
    assert len(received) == 1


def test_any_hashable_key(engine):
    received = []
    engine.subscribeEvent("tick", received.append)
    engine.fireEvent(5, "tick")
    assert received == [5]
    with pytest.raises(TypeError):
        engine.subscribeEvent([], print)
    with pytest.raises(TypeError):
        engine.fireEvent(5, [])


def test_subscribing_during_dispatch(engine):
    log = []

    def first(event):
        log.append("first")
        engine.subscribeEvent(Custom, lambda e: log.append("late"))

    engine.subscribeEvent(Custom, first)
    engine.fireEvent(Custom())
    assert log == ["first", "late"]


def test_unsubscribing_during_dispatch_skips_the_next(engine):
    log = []

    def leaving(event):
        log.append("leaving")
        engine.unsubscribeEvent(Custom, leaving)

    engine.subscribeEvent(Custom, leaving)
    engine.subscribeEvent(Custom, lambda e: log.append("skipped"))
    engine.subscribeEvent(Custom, lambda e: log.append("third"))
    engine.fireEvent(Custom())
    assert log == ["leaving", "third"]


def test_raising_handler_stops_the_dispatch(engine):
    log = []
    engine.subscribeEvent(Custom, lambda e: log.append("before"))
    engine.subscribeEvent(Custom, lambda e: 1 / 0)
    engine.subscribeEvent(Custom, lambda e: log.append("after"))
    with pytest.raises(ZeroDivisionError):
        engine.fireEvent(Custom())
    assert log == ["before"] and len(Engine._eventSubscribers[Custom]) == 3


def test_engines_share_subscriptions():
    received = []
    Engine().subscribeEvent(Custom, received.append)
    Engine().fireEvent(Custom())
    assert len(received) == 1


def test_argument_messages(engine):
    with pytest.raises(TypeError, match=r"^fireEvent\(\) takes at least 1 positional argument \(0 given\)$"):
        engine.fireEvent()
    with pytest.raises(TypeError, match="unexpected keyword argument 'kind'"):
        engine.fireEvent(Custom(), kind=Custom)
    with pytest.raises(TypeError):
        engine.subscribeEvent(Custom)
    engine.fireEvent(evt=Custom(), evtType=None)


def test_non_callable_handler_fails_on_dispatch(engine):
    engine.subscribeEvent(Custom, 42)
    with pytest.raises(TypeError):
        engine.fireEvent(Custom())


def test_subscriber_table_override():
    own = {}

    class Private(Engine):
        _eventSubscribers = own

    received = []
    Private().subscribeEvent(Custom, received.append)
    Engine().fireEvent(Custom())
    Private().fireEvent(Custom())
    assert own == {Custom: [received.append]} and len(received) == 1
    assert Custom not in Engine._eventSubscribers


def test_toggle_fullscreen_fires_through_fire_event(engine):
    events = []
    engine.subscribeEvent(quorvelin.FullscreenEvent, events.append)
    engine.toggleFullscreen()
    engine.toggleFullscreen()
    assert [(e.oldValue, e.newValue) for e in events] == [(False, True), (True, False)]
