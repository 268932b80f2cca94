package org.vantrel.maven;

/** A message text, in English or for one locale, as in the project file's [messages] sections. */
public class MessageText {
    /** The message's name (such as no_jvm_found) or its id (such as 1016). */
    String id;
    /** A locale code such as de or de_CH; absent: the English text. */
    String locale;
    String text;

    public MessageText() {
    }
}
