'''A python3-dbusmock template for the desktop portal's GlobalShortcuts interface: requests are
granted at once, the session has a fixed handle, and a test sends Activated through EmitSignal.
The parameter "bind" says what BindShortcuts binds: "same" (the preferred trigger), "other"
(CTRL+ALT+m), "none", or "silent" (never answers).'''

import dbus

SYSTEM_BUS = False
BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
SESSION = '/org/freedesktop/portal/desktop/session/tessary'

# The answer goes to the request object /org/freedesktop/portal/desktop/request/SENDER/TOKEN;
# the method cannot see SENDER, so it answers on the path of every client on the bus.
RESPOND = '''
token = args[-1]['handle_token']
for name in dbus.SessionBus().list_names():
    if name.startswith(':'):
        path = '%s/request/%s/%s' % (MAIN_OBJ, name[1:].replace('.', '_'), token)
        self.EmitSignalDetailed('org.freedesktop.portal.Request', 'Response', 'ua{sv}',
                                [dbus.UInt32(0), RESULTS], {'path': path})
ret = dbus.ObjectPath('%s/request/unknown/%s' % (MAIN_OBJ, token))
'''


BIND = '''
bound = dbus.Array([], signature='(sa{sv})')
for id, properties in args[1]:
    trigger = {'same': properties['preferred_trigger'], 'other': 'CTRL+ALT+m', 'none': ''}[MODE]
    bound.append((id, {'trigger_description': dbus.String(trigger)}))
RESULTS = {'shortcuts': bound}
'''


def load(mock, parameters):
    mode = parameters.get('bind', 'same')
    mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(1))
    mock.AddMethods(MAIN_IFACE, [
        ('CreateSession', 'a{sv}', 'o',
         "MAIN_OBJ = '%s'\nRESULTS = {'session_handle': '%s'}\n" % (MAIN_OBJ, SESSION) + RESPOND),
        ('BindShortcuts', 'oa(sa{sv})sa{sv}', 'o',
         "MAIN_OBJ = '%s'\nMODE = '%s'\n" % (MAIN_OBJ, mode) +
         ("ret = dbus.ObjectPath(MAIN_OBJ + '/request/none')" if mode == 'silent'
          else BIND + RESPOND)),
    ])
