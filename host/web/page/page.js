// The page's half of the browser front end: it builds and changes the elements
// the wasm side asks for, and turns the player's input into its calls. It decides
// nothing about the game: which control a pointer reaches, the focus order, what
// a key does and when a timer ticks are all asked of the wasm side.
'use strict';

const botoronPage = (() => {
  const root = document.documentElement;
  const desk = document.getElementById('desk');
  const hint = document.getElementById('sound-hint');
  const KIND = ['PictureBox', 'Label', 'TextBox', 'CommandButton', 'Timer', 'Line'];
  const STATE = ['normal', 'minimized', 'maximized'];
  const SVG = 'http://www.w3.org/2000/svg';

  const scenes = new Map(); // serial -> {serial, name, el, client, controls, pos, state}
  const faces = new Map(); // face the scenes name -> its stand-in families, best first
  const fontFiles = new Map(); // stand-in family -> {buffer, ascent, descent}
  let pictures = {}; // picture file -> URL of its PNG
  let started = false;
  let inside = false; // a call into the module is running
  let boxOpen = false; // nothing calls into the module while a box waits for OK
  let over = false;
  let timer = 0;
  let zTop = 1;
  let audio = null;
  let titleMarked = false;

  // ---- Calls into the module ----------------------------------------------

  function call(name, ...args) {
    if (!started || inside || boxOpen || over) {
      return;
    }
    inside = true;
    try {
      Module['_web_' + name](...args);
    } finally {
      inside = false;
    }
  }

  function callWithText(name, serial, index, text) {
    if (!started || inside || boxOpen || over) {
      return;
    }
    const size = Module.lengthBytesUTF8(text) + 1;
    const ptr = Module._malloc(size);
    Module.stringToUTF8(text, ptr, size);
    call(name, serial, index, ptr);
    Module._free(ptr);
  }

  // ---- Looks ----------------------------------------------------------------

  function families(face, caption) {
    const list = faces.get(face) || faces.get(root.dataset.defaultFace) || [];
    const out = [];
    for (const f of list) {
      if (fontFiles.has(f)) {
        out.push(`"botoron ${f}${caption ? ' caption' : ''}"`);
      }
      out.push(`"${f}"`);
    }
    out.push('sans-serif');
    return out.join(', ');
  }

  // ---- Scenes and controls ------------------------------------------------

  function sceneOf(serial) {
    return scenes.get(serial);
  }

  function controlEl(serial, index) {
    const s = scenes.get(serial);
    return s && s.controls[index];
  }

  function place(s) {
    if (s.state === 'minimized') {
      const shelf = [...scenes.values()].filter((o) => o.state === 'minimized' && !o.el.hidden);
      s.el.style.left = 4 + shelf.indexOf(s) * 168 + 'px';
      s.el.style.top = '';
      return;
    }
    if (s.state === 'maximized') {
      s.el.style.left = '';
      s.el.style.top = '';
      return;
    }
    s.el.style.left = s.pos.left + 'px';
    s.el.style.top = s.pos.top + 'px';
  }

  function toFront(s) {
    s.el.style.zIndex = ++zTop;
    for (const o of scenes.values()) {
      o.el.classList.toggle('active', o === s);
    }
  }

  function frontScene() {
    let best = null;
    for (const s of scenes.values()) {
      if (!s.el.hidden && (best === null || Number(s.el.style.zIndex) > Number(best.el.style.zIndex))) {
        best = s;
      }
    }
    return best;
  }

  function pointerAt(s, what, e) {
    const r = s.client.getBoundingClientRect();
    call('pointer', s.serial, what, e.clientX - r.left, e.clientY - r.top, r.width, r.height);
  }

  function dragBy(s, bar) {
    bar.addEventListener('pointerdown', (e) => {
      if (e.button !== 0 || e.target.closest('.close') || boxOpen) {
        return;
      }
      const start = {x: e.clientX, y: e.clientY, left: s.pos.left, top: s.pos.top};
      let moved = false;
      bar.setPointerCapture(e.pointerId);
      const move = (m) => {
        if (s.state !== 'normal') {
          return;
        }
        moved = moved || Math.abs(m.clientX - start.x) + Math.abs(m.clientY - start.y) > 2;
        s.pos.left = start.left + m.clientX - start.x;
        s.pos.top = Math.max(0, start.top + m.clientY - start.y);
        place(s);
      };
      const up = () => {
        bar.removeEventListener('pointermove', move);
        bar.removeEventListener('pointerup', up);
        bar.removeEventListener('pointercancel', up);
        if (!moved && s.state === 'minimized') {
          // A click on the bar of a minimized window restores it.
          s.state = 'normal';
          s.el.dataset.state = 'normal';
          call('window', s.serial, STATE.indexOf('normal'));
          place(s);
          for (const o of scenes.values()) {
            if (o.state === 'minimized') {
              place(o);
            }
          }
        }
      };
      bar.addEventListener('pointermove', move);
      bar.addEventListener('pointerup', up);
      bar.addEventListener('pointercancel', up);
    });
  }

  function surface(s, container) {
    const parent = container < 0 ? s.client : s.controls[container].inner;
    if (!parent.surface) {
      parent.surface = document.createElementNS(SVG, 'svg');
      parent.surface.setAttribute('class', 'surface');
      parent.surface.setAttribute('aria-hidden', 'true');
      parent.prepend(parent.surface);
    }
    return parent.surface;
  }

  const page = {
    get beeps() {
      return page.beepCount;
    },
    beepCount: 0,

    role(name, css) {
      root.style.setProperty('--role-' + name, css);
    },

    face(face, list, isDefault) {
      faces.set(face, list.split(','));
      if (isDefault) {
        root.dataset.defaultFace = face;
        root.style.setProperty('--face-default', families(face, false));
      }
    },

    captionMetrics(pitchEm, baselineEm) {
      // A label's lines are pitchEm apart with the baseline baselineEm below each
      // line's top at the most: faces of their own for labels, whose ascent and
      // descent make exactly that line at a line height of pitchEm.
      root.style.setProperty('--caption-pitch', String(pitchEm));
      for (const [family, f] of fontFiles) {
        const ascent = Math.min(f.ascent, baselineEm);
        const face = new FontFace(`botoron ${family} caption`, f.buffer, {
          ascentOverride: ascent * 100 + '%',
          descentOverride: Math.max(0, pitchEm - ascent) * 100 + '%',
          lineGapOverride: '0%',
        });
        document.fonts.add(face);
        face.load();
      }
    },

    scene(serial, name, caption, left, top, width, height, state, back, picture) {
      const el = document.createElement('div');
      el.className = 'form';
      el.dataset.scene = name;
      el.dataset.state = STATE[state] || 'normal';
      el.hidden = true;
      el.setAttribute('role', 'dialog');
      el.setAttribute('aria-label', caption || name);
      const bar = document.createElement('div');
      bar.className = 'titlebar';
      const cap = document.createElement('div');
      cap.className = 'caption';
      cap.textContent = caption;
      const close = document.createElement('button');
      close.type = 'button';
      close.className = 'close';
      close.tabIndex = -1;
      close.setAttribute('aria-label', '閉じる');
      close.textContent = '×';
      bar.append(cap, close);
      const client = document.createElement('div');
      client.className = 'client';
      client.style.width = width + 'px';
      client.style.height = height + 'px';
      client.style.background = back;
      if (picture) {
        client.style.backgroundImage = `url(${pictures[picture]})`;
      }
      el.append(bar, client);
      desk.append(el);
      const s = {serial, name, el, client, controls: [], pos: {left, top}, state: el.dataset.state, shown: false};
      scenes.set(serial, s);
      dragBy(s, bar);
      close.addEventListener('click', () => call('close', serial));
      el.addEventListener('pointerdown', () => {
        if (!boxOpen) {
          toFront(s);
        }
      }, true);
      client.addEventListener('pointermove', (e) => {
        for (const c of e.getCoalescedEvents ? e.getCoalescedEvents() : [e]) {
          pointerAt(s, 0, c.clientX === undefined ? e : c);
        }
      });
      client.addEventListener('pointerdown', (e) => {
        if (e.button === 0) {
          pointerAt(s, 1, e);
        }
      });
      client.addEventListener('pointerup', (e) => {
        if (e.button === 0) {
          pointerAt(s, 2, e);
        }
      });
      // The design position is the client area's: the frame and the bar lie outside it.
      el.hidden = false;
      el.style.visibility = 'hidden';
      const frame = client.getBoundingClientRect();
      const outer = el.getBoundingClientRect();
      s.pos.left = left - (frame.left - outer.left);
      s.pos.top = Math.max(0, top - (frame.top - outer.top));
      el.style.visibility = '';
      el.hidden = true;
      place(s);
    },

    control(serial, index, kind, name, container, z) {
      const s = sceneOf(serial);
      const parent = container < 0 ? s.client : s.controls[container].inner;
      let el;
      switch (KIND[kind]) {
        case 'PictureBox':
          el = document.createElement('div');
          el.className = 'picture';
          el.tabIndex = -1;
          el.inner = document.createElement('div');
          el.inner.className = 'inner';
          el.rings = 0;
          el.append(el.inner);
          break;
        case 'Label':
          el = document.createElement('div');
          el.className = 'label';
          break;
        case 'TextBox':
          el = document.createElement('input');
          el.type = 'text';
          el.className = 'textbox';
          el.spellcheck = false;
          el.autocomplete = 'off';
          el.addEventListener('input', (e) => {
            if (!e.isComposing) {
              callWithText('typed', serial, index, el.value);
            }
          });
          el.addEventListener('compositionend', () => callWithText('typed', serial, index, el.value));
          break;
        case 'CommandButton':
          el = document.createElement('button');
          el.type = 'button';
          el.className = 'button';
          el.tabIndex = -1;
          break;
        case 'Line':
          el = document.createElementNS(SVG, 'line');
          el.dataset.control = name;
          surface(s, container).append(el);
          s.controls[index] = el;
          return;
        default:
          el = document.createElement('div');
          el.className = 'timer';
          break;
      }
      el.dataset.control = name;
      el.style.zIndex = z;
      parent.append(el);
      s.controls[index] = el;
    },

    ring(serial, index, topLeft, bottomRight) {
      const el = controlEl(serial, index);
      const ring = document.createElement('div');
      ring.className = 'ring';
      ring.style.inset = el.rings + 'px';
      // The top-left colour takes the top row and the left column whole, corners included.
      ring.style.boxShadow = `inset 1px 1px 0 0 ${topLeft}, inset -1px -1px 0 0 ${bottomRight}`;
      el.insertBefore(ring, el.inner);
      el.rings += 1;
      el.inner.style.inset = el.rings + 'px';
    },

    line(serial, index, container, x1, y1, x2, y2, colour, width) {
      const el = controlEl(serial, index);
      // Pixel centres, with square ends, so that both end pixels are drawn as on the desktop.
      el.setAttribute('x1', x1 + 0.5);
      el.setAttribute('y1', y1 + 0.5);
      el.setAttribute('x2', x2 + 0.5);
      el.setAttribute('y2', y2 + 0.5);
      el.setAttribute('stroke', colour);
      el.setAttribute('stroke-width', width);
    },

    geometry(serial, index, left, top, width, height) {
      const el = controlEl(serial, index);
      el.style.left = left + 'px';
      el.style.top = top + 'px';
      el.style.width = width + 'px';
      el.style.height = height + 'px';
    },

    colours(serial, index, back, fore) {
      const el = controlEl(serial, index);
      (el.inner || el).style.backgroundColor = back;
      if (el.classList.contains('label')) {
        el.style.color = fore;
      }
    },

    font(serial, index, face, pixels, bold, italic, underline, strike) {
      const el = controlEl(serial, index);
      el.style.fontFamily = families(face, el.classList.contains('label'));
      el.style.fontSize = pixels + 'px';
      el.style.fontWeight = bold ? '700' : '400';
      el.style.fontStyle = italic ? 'italic' : 'normal';
      const lines = [underline ? 'underline' : '', strike ? 'line-through' : ''].filter(Boolean);
      el.style.textDecoration = lines.length ? lines.join(' ') : 'none';
    },

    text(serial, index, text) {
      const el = controlEl(serial, index);
      if (el instanceof HTMLInputElement) {
        if (el.value !== text) {
          el.value = text;
        }
      } else {
        el.textContent = text.replace(/\r\n?/g, '\n');
      }
    },

    picture(serial, index, file) {
      const el = controlEl(serial, index);
      el.inner.style.backgroundImage = file ? `url(${pictures[file]})` : 'none';
    },

    visible(serial, index, visible) {
      const el = controlEl(serial, index);
      if (el instanceof SVGElement) {
        el.style.display = visible ? '' : 'none';
      } else {
        el.hidden = !visible;
      }
    },

    shown(serial) {
      const s = sceneOf(serial);
      if (s.shown && s.state === 'minimized') {
        // A later show brings a minimized window back, as the desktop does.
        s.state = 'normal';
        s.el.dataset.state = 'normal';
      }
      s.shown = true;
      s.el.hidden = false;
      place(s);
      toFront(s);
      performance.mark('botoron:shown:' + s.name);
      if (s.name === 'Form1' && !titleMarked) {
        titleMarked = true;
        // Its first complete draw: its faces loaded, then the frame after it is painted.
        document.fonts.ready.then(() =>
          requestAnimationFrame(() => setTimeout(() => performance.mark('botoron:title'), 0)));
      }
    },

    destroyed(serial) {
      const s = sceneOf(serial);
      if (!s) {
        return;
      }
      scenes.delete(serial);
      s.el.remove();
      for (const o of scenes.values()) {
        if (o.state === 'minimized') {
          place(o);
        }
      }
    },

    focus(serial, index) {
      const el = controlEl(serial, index);
      if (el && el.focus) {
        el.focus({preventScroll: true});
      }
    },

    beep() {
      page.beepCount += 1;
      if (!audio || audio.state !== 'running') {
        return; // before the first gesture: silent
      }
      const t = audio.currentTime;
      const tone = audio.createOscillator();
      const gain = audio.createGain();
      tone.type = 'square';
      tone.frequency.value = 880;
      gain.gain.setValueAtTime(0.08, t);
      gain.gain.setValueAtTime(0, t + 0.04);
      tone.connect(gain).connect(audio.destination);
      tone.start(t);
      tone.stop(t + 0.05);
    },

    schedule(ms) {
      clearTimeout(timer);
      timer = 0;
      if (ms >= 0) {
        timer = setTimeout(() => {
          timer = 0;
          call('service');
        }, Math.ceil(ms));
      }
    },

    ended() {
      over = true;
      clearTimeout(timer);
      root.dataset.game = 'ended';
      const end = document.getElementById('over');
      end.hidden = false;
      document.getElementById('again').focus({preventScroll: true});
    },

    // Opens the box and settles when the player has closed it. Until then the page
    // calls nothing in the module, and the scenes take no input.
    box(title, prompt) {
      boxOpen = true;
      const before = document.activeElement;
      const modal = document.createElement('div');
      modal.className = 'modal';
      const box = document.createElement('div');
      box.className = 'msgbox';
      box.setAttribute('role', 'alertdialog');
      box.setAttribute('aria-modal', 'true');
      const cap = document.createElement('div');
      cap.className = 'caption';
      cap.id = 'msgbox-caption';
      cap.textContent = title;
      const text = document.createElement('div');
      text.className = 'prompt';
      text.id = 'msgbox-prompt';
      text.textContent = prompt;
      const row = document.createElement('div');
      row.className = 'buttons';
      const ok = document.createElement('button');
      ok.type = 'button';
      ok.textContent = 'OK';
      row.append(ok);
      box.append(cap, text, row);
      box.setAttribute('aria-labelledby', cap.id);
      box.setAttribute('aria-describedby', text.id);
      modal.append(box);
      desk.inert = true;
      document.body.append(modal);
      ok.focus({preventScroll: true});
      return new Promise((resolve) => {
        const close = () => {
          document.removeEventListener('keydown', keys, true);
          modal.remove();
          desk.inert = false;
          boxOpen = false;
          if (before && before.isConnected && before.focus) {
            before.focus({preventScroll: true});
          }
          resolve();
        };
        const keys = (e) => {
          if (e.key === 'Enter' || e.key === 'Escape') {
            e.preventDefault();
            e.stopImmediatePropagation();
            if (!e.repeat) {
              close();
            }
          } else if (e.key === 'Tab') {
            e.preventDefault();
            e.stopImmediatePropagation();
            ok.focus({preventScroll: true});
          }
        };
        document.addEventListener('keydown', keys, true);
        ok.addEventListener('click', close);
      });
    },
  };

  // ---- Keys ---------------------------------------------------------------
  // Tab, Shift+Tab, and Enter or Space on a focused button go to the module, which
  // knows the focus order; typing goes to the focused text box as the browser types.

  function focusedControl() {
    const active = document.activeElement;
    const form = active && active.closest ? active.closest('.form') : null;
    const s = form ? [...scenes.values()].find((o) => o.el === form) : frontScene();
    if (!s) {
      return null;
    }
    const index = s.controls.indexOf(active);
    return {s, index, el: index >= 0 ? active : null};
  }

  document.addEventListener('keydown', (e) => {
    if (boxOpen || over || !started) {
      return;
    }
    const at = focusedControl();
    if (!at) {
      return;
    }
    if (e.key === 'Tab') {
      e.preventDefault();
      call('key', at.s.serial, at.index, e.shiftKey ? 1 : 0);
    } else if (e.key === 'Enter' && at.el && at.el.classList.contains('button')) {
      e.preventDefault();
      if (!e.repeat) {
        call('key', at.s.serial, at.index, 2);
      }
    } else if (e.key === ' ' && at.el && at.el.classList.contains('button')) {
      e.preventDefault(); // pressed on the key's release, as a push button is
    }
  });

  document.addEventListener('keyup', (e) => {
    if (boxOpen || over || !started || e.key !== ' ') {
      return;
    }
    const at = focusedControl();
    if (at && at.el && at.el.classList.contains('button')) {
      e.preventDefault();
      call('key', at.s.serial, at.index, 2);
    }
  });

  // ---- Sound --------------------------------------------------------------
  // Browsers let a page make sound only after a gesture: until then the beeps are
  // silent and the page says so.

  function gesture() {
    if (audio) {
      return;
    }
    try {
      audio = new AudioContext();
      audio.resume();
    } catch (err) {
      audio = null;
      return;
    }
    hint.hidden = true;
  }
  window.addEventListener('pointerdown', gesture, true);
  window.addEventListener('keydown', gesture, true);

  // ---- Start --------------------------------------------------------------

  document.getElementById('again').addEventListener('click', () => location.reload());

  function failed(what) {
    over = true;
    clearTimeout(timer);
    root.dataset.game = 'ended';
    const report = document.getElementById('over-report');
    report.textContent = String(what);
    report.hidden = false;
    document.getElementById('over').hidden = false;
  }

  async function boot() {
    const runtimeReady = new Promise((resolve) => {
      window.Module = {
        onRuntimeInitialized: resolve,
        onAbort: failed,
        locateFile: (path) => path,
      };
    });
    const script = document.createElement('script');
    script.src = 'botoron.js';
    document.body.append(script);
    const [fonts, pics] = await Promise.all([
      fetch('fonts.json').then((r) => r.json()),
      fetch('pictures.json').then((r) => r.json()),
    ]);
    pictures = pics;
    await Promise.all(Object.entries(fonts).map(async ([family, f]) => {
      const buffer = await fetch(f.file).then((r) => r.arrayBuffer());
      fontFiles.set(family, {buffer, ascent: f.ascent, descent: f.descent});
      const face = new FontFace(`botoron ${family}`, buffer);
      document.fonts.add(face);
      await face.load();
    }));
    await runtimeReady;
    started = true;
    call('start');
    // Fetched now, so that a picture is drawn the moment its scene shows.
    for (const url of new Set(Object.values(pictures))) {
      new Image().src = url;
    }
    if (!over) {
      root.dataset.game = 'running';
    }
  }

  boot().catch(failed);
  return page;
})();
