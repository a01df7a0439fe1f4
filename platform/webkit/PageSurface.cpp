#include "platform/webkit/PageSurface.h"

namespace web::detail {

namespace {

// ECMAScript 5.1 only: the engine has no later syntax.
constexpr std::string_view source = R"JS((function (host, global) {
    var internal = {};
    var hasOwn = Object.prototype.hasOwnProperty;

    function makeEvent(type, target) {
        return {
            type: type, target: target, currentTarget: target, bubbles: false, cancelable: false,
            defaultPrevented: false, timeStamp: Date.now(),
            preventDefault: function () { this.defaultPrevented = true; },
            stopPropagation: function () {}
        };
    }

    // addEventListener/removeEventListener on `target`; returns its delivery.
    function makeEventTarget(target) {
        var listeners = {};
        target.addEventListener = function (type, listener) {
            if (listener === null || listener === undefined) return;
            type = String(type);
            var list = hasOwn.call(listeners, type) ? listeners[type] : (listeners[type] = []);
            for (var i = 0; i < list.length; i++) if (list[i] === listener) return;
            list.push(listener);
        };
        target.removeEventListener = function (type, listener) {
            type = String(type);
            if (!hasOwn.call(listeners, type)) return;
            var list = listeners[type];
            for (var i = 0; i < list.length; i++) {
                if (list[i] === listener) { list.splice(i, 1); return; }
            }
        };
        return function (event) {
            event.currentTarget = target;
            var list = hasOwn.call(listeners, event.type) ? listeners[event.type].slice() : [];
            for (var i = 0; i < list.length; i++) {
                try {
                    if (typeof list[i] === 'function') list[i].call(target, event);
                    else if (list[i] && typeof list[i].handleEvent === 'function') list[i].handleEvent(event);
                } catch (e) { host.reportError(e); }
            }
            var handler = target['on' + event.type];
            if (typeof handler === 'function') {
                try { handler.call(target, event); } catch (e) { host.reportError(e); }
            }
        };
    }

    // ---- window ----
    global.window = global;
    global.self = global;
    global.top = global;
    global.parent = global;
    var deliverToWindow = makeEventTarget(global);

    // ---- location ----
    var urlPattern = /^([a-zA-Z][a-zA-Z0-9+.\-]*:)(?:\/\/(?:[^@\/?#]*@)?([^\/?#]*))?([^?#]*)(\?[^#]*)?(#.*)?$/;
    function urlParts() {
        var m = urlPattern.exec(host.href()) || [];
        var hostPart = m[2] || '';
        var hostname = hostPart, port = '';
        var colon = hostPart.lastIndexOf(':');
        if (colon >= 0 && colon > hostPart.lastIndexOf(']')) {
            hostname = hostPart.substring(0, colon);
            port = hostPart.substring(colon + 1);
        }
        var search = m[4] || '', hash = m[5] || '';
        return {
            protocol: m[1] || '', host: hostPart, hostname: hostname, port: port, pathname: m[3] || '',
            search: search === '?' ? '' : search, hash: hash === '#' ? '' : hash
        };
    }
    var location = {};
    Object.defineProperty(location, 'href', {
        get: function () { return host.href(); },
        set: function (value) { host.navigate(String(value), false); },
        enumerable: true
    });
    ['protocol', 'host', 'hostname', 'port', 'pathname', 'search', 'hash'].forEach(function (name) {
        Object.defineProperty(location, name, { get: function () { return urlParts()[name]; }, enumerable: true });
    });
    Object.defineProperty(location, 'origin', {
        get: function () {
            var p = urlParts();
            return p.host ? p.protocol + '//' + p.host : 'null';
        },
        enumerable: true
    });
    location.assign = function (url) { host.navigate(String(url), false); };
    location.replace = function (url) { host.navigate(String(url), true); };
    location.reload = function () { host.reload(); };
    location.toString = function () { return host.href(); };
    Object.defineProperty(global, 'location', {
        get: function () { return location; },
        set: function (value) { host.navigate(String(value), false); },
        enumerable: true
    });

    // ---- document ----
    var documentTitle = '';
    var readyState = 'loading';
    var document = {};
    var deliverToDocument = makeEventTarget(document);
    Object.defineProperty(document, 'title', {
        get: function () { return documentTitle; },
        set: function (value) { documentTitle = String(value); host.titleChanged(documentTitle); },
        enumerable: true
    });
    Object.defineProperty(document, 'readyState', { get: function () { return readyState; }, enumerable: true });
    Object.defineProperty(document, 'URL', { get: function () { return host.href(); }, enumerable: true });
    Object.defineProperty(document, 'location', {
        get: function () { return location; },
        set: function (value) { host.navigate(String(value), false); },
        enumerable: true
    });
    document.defaultView = global;
    global.document = document;

    // ---- console ----
    function formatArguments(args) {
        var parts = [];
        for (var i = 0; i < args.length; i++) {
            var value = args[i];
            if (typeof value === 'string') {
                parts.push(value);
            } else if (value !== null && typeof value === 'object' && !(value instanceof Error)) {
                var text;
                try { text = JSON.stringify(value); } catch (e) {}
                parts.push(text === undefined ? String(value) : text);
            } else {
                parts.push(String(value));
            }
        }
        return parts.join(' ');
    }
    global.console = {};
    ['log', 'info', 'debug', 'warn', 'error'].forEach(function (level) {
        global.console[level] = function () { host.log(level, formatArguments(arguments)); };
    });

    // ---- timers ----
    var timers = {};
    var nextTimer = 1;
    function addTimer(callback, delay, args, repeats) {
        if (typeof callback !== 'function') {
            var code = String(callback);
            callback = function () { (0, eval)(code); };
        }
        var id = nextTimer++;
        timers[id] = { callback: callback, args: args, repeats: repeats };
        delay = Number(delay);
        host.startTimer(id, delay > 0 ? delay : 0, repeats);
        return id;
    }
    function clearTimer(id) {
        id = Number(id);
        if (!hasOwn.call(timers, id)) return;
        delete timers[id];
        host.stopTimer(id);
    }
    global.setTimeout = function (callback, delay) {
        return addTimer(callback, delay, Array.prototype.slice.call(arguments, 2), false);
    };
    global.setInterval = function (callback, delay) {
        return addTimer(callback, delay, Array.prototype.slice.call(arguments, 2), true);
    };
    global.clearTimeout = clearTimer;
    global.clearInterval = clearTimer;
    internal.fireTimer = function (id) {
        if (!hasOwn.call(timers, id)) return;
        var timer = timers[id];
        if (!timer.repeats) delete timers[id];
        timer.callback.apply(global, timer.args);
    };

    // ---- dialogs ----
    global.alert = function (message) { host.alert(arguments.length ? String(message) : ''); };
    global.confirm = function (message) { return host.confirm(arguments.length ? String(message) : ''); };
    global.prompt = function (message, defaultText) {
        return host.prompt(arguments.length ? String(message) : '',
                           defaultText === undefined ? undefined : String(defaultText));
    };

    // ---- script message handlers ----
    var handlers = {};
    global.webkit = { messageHandlers: handlers };
    function makeHandler(name) {
        return { postMessage: function (body) { host.postMessage(name, body); } };
    }
    internal.syncHandlers = function (names) {
        var live = {};
        for (var i = 0; i < names.length; i++) {
            live[names[i]] = true;
            if (!hasOwn.call(handlers, names[i])) handlers[names[i]] = makeHandler(names[i]);
        }
        for (var name in handlers) {
            if (hasOwn.call(handlers, name) && !hasOwn.call(live, name)) delete handlers[name];
        }
    };

    // ---- the page's progress ----
    internal.setTitle = function (title) { documentTitle = title; };
    internal.setReadyState = function (state) {
        readyState = state;
        deliverToDocument(makeEvent('readystatechange', document));
    };
    // Delivered at the document, then the window (DOMContentLoaded bubbles
    // there; load listeners may sit on either).
    internal.fire = function (type) {
        var event = makeEvent(type, document);
        deliverToDocument(event);
        deliverToWindow(event);
    };
    return internal;
}))JS";

}  // namespace

std::string_view pageSurfaceSource() { return source; }

}  // namespace web::detail
