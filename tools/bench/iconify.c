/* Minimises the window titled "Nimbrel" the way a window manager does when
 * no window manager runs (as on a bare virtual display): marks it hidden in
 * _NET_WM_STATE and unmaps it. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <string.h>

static Window find(Display* d, Window w) {
    char* name = NULL;
    if (XFetchName(d, w, &name) && name) {
        int hit = strcmp(name, "Nimbrel") == 0;
        XFree(name);
        if (hit) return w;
    }
    Window root, parent, *kids = NULL;
    unsigned n = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &kids, &n)) {
        for (unsigned i = 0; i < n && !found; ++i) found = find(d, kids[i]);
        if (kids) XFree(kids);
    }
    return found;
}

int main(void) {
    Display* d = XOpenDisplay(NULL);
    if (!d) return 2;
    Window w = find(d, DefaultRootWindow(d));
    if (!w) return 3;
    Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    Atom hidden = XInternAtom(d, "_NET_WM_STATE_HIDDEN", False);
    XChangeProperty(d, w, state, XA_ATOM, 32, PropModeReplace, (unsigned char*)&hidden, 1);
    XUnmapWindow(d, w);
    XCloseDisplay(d);
    return 0;
}
