'''A python3-dbusmock template standing in for the desktop portal's GlobalShortcuts
interface: every request is granted at once, the session has a fixed handle, and a test
sends Activated through the mock's EmitSignal.'''

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


def load(mock, parameters):
    mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(1))
    mock.AddMethods(MAIN_IFACE, [
        ('CreateSession', 'a{sv}', 'o',
         "MAIN_OBJ = '%s'\nRESULTS = {'session_handle': '%s'}\n" % (MAIN_OBJ, SESSION) + RESPOND),
        ('BindShortcuts', 'oa(sa{sv})sa{sv}', 'o',
         "MAIN_OBJ = '%s'\nRESULTS = {}\n" % MAIN_OBJ + RESPOND),
    ])
