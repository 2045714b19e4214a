// The page in WebKitGTK's MiniBrowser (WebDriver), Safari's engine.
import { showTests } from './show.mjs';

showTests('webkit');
